// Load and resample one picture for a run.
#include "batch/convert_picture.h"

#include "imaging/error.h"
#include "imaging/raster.h"
#include "imaging/resample.h"
#include "pictures/load_picture.h"

void LoadAndResample(const std::string& sourcePath, int width, int height, Raster& working)
{
    try {
        // The loader loads nothing for a missing file; without this check the picture of the
        // previous entry would be resampled and saved under this entry's name.
        if (!LoadPicture(sourcePath, working))
            throw Error("File not found");
        working = ResampleLanczos(working, width, height);
    } catch (...) {
        working = Raster();
        throw;
    }
}
