// The commented example manifest that `sspack init` writes.
#pragma once

extern const char ExampleManifest[];
