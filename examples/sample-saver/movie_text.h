// What the screensaver shows: the text carried in the "MOVIE" chunk of its
// own file. An installed screensaver file is a chunk container that begins
// with this program, so the program finds its data behind its own image.
#pragma once

constexpr int MovieTextCapacity = 2048;  // bytes shown at most, NUL included

struct MovieText {
    char text[MovieTextCapacity];  // NUL-terminated, line breaks as "\n"
    bool fromContainer;            // false: a built-in note explains why
};

// Fills movie from the running program's own container. Always gives a text:
// when the file carries no container, no "MOVIE" chunk, or one that does not
// fit, the text says so and fromContainer is false.
void loadMovieText(MovieText* movie);

// The first line of the text (up to its line break) copied into out, at most
// size - 1 bytes. Returns out.
char* movieTitle(const MovieText* movie, char* out, int size);
