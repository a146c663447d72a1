// The show's eleven pictures, painted on the same theme: soap bubbles.
#pragma once

#include "canvas.hpp"

#include <functional>
#include <string>
#include <vector>

namespace assetgen {

struct Picture {
    std::string fileName;
    // Sprites with an alpha channel keep it. The others are stored without
    // one: on black, that black is what the show's mask makes transparent.
    bool alpha;
    std::function<Canvas(const FontBitmap&)> paint;
};

const std::vector<Picture>& ShowPictures();

} // namespace assetgen
