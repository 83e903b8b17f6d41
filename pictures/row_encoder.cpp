// Feeding a whole picture to a row encoder.
#include "pictures/row_encoder.h"

#include "imaging/raster.h"

namespace picbatch {

void EncodeWholePicture(const Raster& picture, const RowEncoderStart& start)
{
    if (picture.Width() == 0 || picture.Height() == 0)
        return;
    // A shared copy: free for a Bgr24 picture, converted for the other forms.
    Raster bgr = picture;
    bgr.SetPixelForm(PixelForm::Bgr24);
    const Raster& source = bgr;  // read-only access never detaches the shared store
    const std::unique_ptr<RowEncoder> encoder = start(source.Width(), source.Height());
    for (int y = 0; y < source.Height(); ++y)
        encoder->AddRow(source.Row(y).data());
    encoder->Finish();
}

}  // namespace picbatch
