// Stream layer between the LZHUF codec and the chunk transfer: RcBlock framing,
// buffered file/memory input and output, and the two progress callbacks.
#pragma once

#include <stdint.h>

// Run every 1024 bytes moved and after each block is checked or sealed.
typedef void (*PumpCallbackFn)();
// Given the byte count of each block written to the target.
typedef void (*BytesWrittenHookFn)(uint32_t count);

extern PumpCallbackFn PumpCallback;          // null: skipped
extern BytesWrittenHookFn BytesWrittenHook;  // null: skipped
extern uint32_t BytesWritten;                // bytes written by the last run
