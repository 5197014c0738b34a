#pragma once

// stb_truetype with float vertices, so outlines keep sub-pixel precision. The header only keeps a
// vertex type of ours when the vertex itself is predefined (it sets its own type otherwise), so the
// struct is declared here; everyone includes stb_truetype through this header, and CPath.cpp holds
// the implementation.
#define stbtt_vertex_type float
typedef struct {
    stbtt_vertex_type x, y, cx, cy, cx1, cy1;
    unsigned char type, padding;
} stbtt_vertex;
#define stbtt_vertex stbtt_vertex
#include <stb/stb_truetype.h>
