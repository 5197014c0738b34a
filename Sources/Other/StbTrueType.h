#pragma once

// stb_truetype with float vertices, so outlines keep sub-unit precision. Everyone includes it through
// this header so the vertex type is the same in every translation unit; CPath.cpp holds the
// implementation.
#define stbtt_vertex_type float
#include <stb/stb_truetype.h>
