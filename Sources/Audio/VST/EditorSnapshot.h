#pragma once

#include <cstdint>

#include "Audio/VST/AEffect.h"

// A picture of the editor, drawn with no window and no display: the render tool asks for it with a
// vendor-specific call of ours (index kEditorSnapshotIndex, ptr = the request).
constexpr int32_t kEditorSnapshotIndex = qelVstFourCC('Q', 'E', 's', 'n');

struct SEditorSnapshotRequest {
    const char* path = nullptr; // the PNG file to write
    double scale = 1.0;
    char error[1024] = {}; // the error's lines when the call answers 0
};
