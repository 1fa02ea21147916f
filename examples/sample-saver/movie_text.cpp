#include "movie_text.h"

#include <string.h>

#include "reader.h"

static void useNote(MovieText* movie, const char* note) {
    strncpy(movie->text, note, MovieTextCapacity - 1);
    movie->text[MovieTextCapacity - 1] = 0;
    movie->fromContainer = false;
}

void loadMovieText(MovieText* movie) {
    HANDLE own = openContainer(nullptr);
    if (own == INVALID_HANDLE_VALUE) {
        useNote(movie, "Sample Saver\nThis file carries no chunks: it was not installed by an installer.");
        return;
    }
    int32_t size = chunkPlainSize("MOVIE");
    if (size < 0) {
        useNote(movie, "Sample Saver\nThis file carries no MOVIE chunk.");
    } else if (size > MovieTextCapacity - 1) {
        useNote(movie, "Sample Saver\nThe MOVIE chunk is too long to show.");
    } else if (!readChunkToMemory("MOVIE", movie->text, MovieTextCapacity - 1)) {
        useNote(movie, "Sample Saver\nThe MOVIE chunk could not be read: the file is damaged.");
    } else {
        movie->text[size] = 0;
        // Carriage returns and other control bytes are not drawn.
        for (int32_t i = 0; i < size; ++i) {
            unsigned char c = (unsigned char)movie->text[i];
            if (c < 0x20 && c != '\n') movie->text[i] = ' ';
        }
        movie->fromContainer = true;
    }
    closeContainer(own);
}

char* movieTitle(const MovieText* movie, char* out, int size) {
    int n = 0;
    while (n < size - 1 && movie->text[n] && movie->text[n] != '\n') {
        out[n] = movie->text[n];
        ++n;
    }
    out[n] = 0;
    return out;
}
