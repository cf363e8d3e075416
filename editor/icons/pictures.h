#pragma once
// The toolbar's and the window's pictures, drawn from the program's SVG
// files at build time (mus_render_icon) and compiled in: they are shown
// without the SVG icon engine or an image decoder, pixel for pixel as that
// engine draws the SVG files.

#include <QIcon>
#include <QImage>

#include <cstdint>
#include <initializer_list>

namespace mus {

// The picture NAME ("toolbar/new", "murmurscript") of SIDE pixels, or a null
// image when it was not drawn at that size.
QImage BuiltPicture(const char* name, int side);

// An icon holding the picture NAME at each of `sides`.
QIcon BuiltIcon(const char* name, std::initializer_list<int> sides);

namespace pictures {

struct Entry {
    const char* name;
    int width;
    int height;
    const std::uint32_t* pixels; // premultiplied ARGB, row by row
};

// Written by the build (pictures_data.cpp).
extern const Entry kEntries[];
extern const int kEntryCount;

} // namespace pictures

} // namespace mus
