// The width and height a picture file's header declares.
#pragma once

namespace picbatch {

struct PictureSize {
    int width = 0;
    int height = 0;
};

}  // namespace picbatch
