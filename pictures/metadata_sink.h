// A sink that puts a source's metadata into an encoder's data on its way to a file.
#pragma once

#include "pictures/byte_sink.h"

namespace picbatch {

// Takes an encoder's data (written in order, each offset where the last write ended) and
// passes it on with the metadata put in; made by a format's row (PictureFormat::carryMetadata).
class MetadataSink : public ByteSink {
public:
    // Ends the data once the encoder is done. Throws std::invalid_argument when the data
    // never reached the place where the metadata goes (it was no file of the format).
    virtual void Finish() = 0;
};

}  // namespace picbatch
