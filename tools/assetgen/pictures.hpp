// The show's eleven pictures, painted on the same theme: soap bubbles.
#pragma once

#include "canvas.hpp"

#include <functional>
#include <string>
#include <vector>

namespace assetgen {

struct Picture {
    std::string fileName; // ".png" pictures keep their alpha; ".jpg" are opaque
    std::function<Canvas(const FontBitmap&)> paint;
};

const std::vector<Picture>& ShowPictures();

} // namespace assetgen
