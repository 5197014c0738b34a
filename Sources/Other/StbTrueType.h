#pragma once

// stb_truetype with float vertices, so outlines keep sub-unit precision. The header only keeps its
// own vertex type when stbtt_vertex is already defined, so the float one is declared here first.
// Everyone includes stb_truetype through this header so the vertex type is the same in every
// translation unit; CPath.cpp holds the implementation.
#define stbtt_vertex_type float
typedef struct {
    stbtt_vertex_type x, y, cx, cy, cx1, cy1;
    unsigned char type, padding;
} stbtt_vertex;
#define stbtt_vertex stbtt_vertex
#include <stb/stb_truetype.h>
