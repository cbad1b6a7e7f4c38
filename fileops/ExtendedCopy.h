#pragma once
// The per-file pipeline of the extended copy: load, prepare the output format, resize,
// rotate, pick a free name and save as bitmap, JPEG or PNG. Shared by the dialog and korvel-tool.
#include <string>

#include "base/Limits.h"
#include "base/Translatable.h"

namespace korvel {

class TBitmap;
class TGraphic;
class TPicture;

enum class OutputFormat { Bmp, Jpeg, Png };
enum class PngLevel { Normal, Speed, Size };  // zlib levels -1, 1, 9
enum class SizeMode { Original, Scale, Given };

struct ExtendedCopyOptions {
    OutputFormat format = OutputFormat::Bmp;
    int jpegQuality = 85;
    bool progressive = false;
    bool grayscale = false;
    PngLevel pngLevel = PngLevel::Normal;
    bool pngInterlace = false;
    SizeMode sizeMode = SizeMode::Original;
    int percent = 100;         // SizeMode::Scale
    int width = 80;            // SizeMode::Given: the longer side when keepAspect
    int height = 80;           // SizeMode::Given without keepAspect
    bool keepAspect = true;
    bool qualityResample = true;  // StretchBitmap instead of the plain stretch
    int turn = 0;                 // 0 none, 1 90 degrees right, 2 180 degrees, 3 270 degrees
    bool copyDate = false;
    // The copy holds upright, colour managed pixels and no orientation tag.
    PhotoSwitches photo;
};

// Output size for the scale and given-size modes, truncating, each side at least 1.
struct Size {
    int width, height;
};
Size scaledSize(int width, int height, int percent);
Size fittedSize(int width, int height, int longerSide);

// Output takes the source bitmap's pixel format and palette; other graphics give 8 bits for
// ".GIF" sources (with the GIF's palette) and 24 bits for the rest. A palette gets white when the
// source has transparent pixels, so that they come out white as on every new canvas.
void PrepareOutputFormat(const TGraphic& graphic, const std::string& sourcePath, TBitmap& output);
// Draws the picture's graphic into output at the size the options ask for; releases the graphic.
void ResizeIntoOutput(TPicture& picture, const ExtendedCopyOptions& options, TBitmap& output);
// Turns output by options.turn quarter turns clockwise (0 = unchanged).
void RotateOutput(int turn, TBitmap& output);

// The first of path, then base + "_1" + ext, "_2", ... that does not exist.
std::string UniqueOutputName(const std::string& path);
// As UniqueOutputName, but the name is claimed by creating it exclusively (empty), so that no
// other writer can take it before the caller fills it (fillClaimedFile).
std::string claimUniqueOutputName(const std::string& path);

void SaveAsBmp(const TBitmap& output, const std::string& path);
void SaveAsJpeg(const TBitmap& output, const std::string& path, const ExtendedCopyOptions& options);
void SaveAsPng(const TBitmap& output, const std::string& path, const ExtendedCopyOptions& options);
// Gives copy the access and modification times of source. Throws EFileError when the times
// cannot be read or set.
void CopyFileTimes(const std::string& source, const std::string& copy);

// The output encoded in memory as the options' format, ready for WriteConvertedCopy.
std::string EncodeOutput(const TBitmap& output, const ExtendedCopyOptions& options);
// The steps before the name: load, prepare, resize, rotate and encode. Throws on any failure.
std::string PrepareConvertedCopy(const std::string& source, const ExtendedCopyOptions& options, TPicture& picture,
                                 TBitmap& output);
// The step that picks the name: claims a free name for source in destFolder, fills it with
// encoded and copies the date when asked. Returns the path written; throws on failure.
std::string WriteConvertedCopy(const std::string& source, const std::string& destFolder,
                               const ExtendedCopyOptions& options, const std::string& encoded);

// Runs every step for one source file into destFolder (ending with "/") and returns the path
// written. The output name is claimed by exclusive creation and filled through a temporary
// file, so a failed save leaves no partial file and two runs never share a name.
// Throws korvel::Exception with the reason on any failure.
std::string ConvertOneFile(const std::string& source, const std::string& destFolder,
                           const ExtendedCopyOptions& options, TPicture& picture, TBitmap& output);

// The per-file failure text shown to the user: "name" followed by the fixed sentence.
TrText convertFailureText(const std::string& source);
// convertFailureText untranslated.
std::string ConvertFailureMessage(const std::string& source);

}  // namespace korvel
