#pragma once
// The preview pane's state, free of any window: the file shown, the deferred loader that is
// pending, the decoded picture and its copy fitted to the pane.
#include <cstdint>
#include <optional>
#include <string>

#include "formats/Picture.h"
#include "imaging/Bitmap.h"

namespace korvel {

class PreviewModel {
public:
    // The previewed file as the file system names it; "" = nothing previewed.
    const std::string& path() const { return path_; }
    void forgetPath() { path_.clear(); }
    // A loader is pending or running.
    bool loading() const { return loading_; }

    // Starts previewing path; returns the request its deferred loader carries.
    uint64_t begin(const std::string& path);
    enum class Load { Stopped, Loaded, Failed };
    // The loader's work: nothing when request is no longer the pending one; on a file that
    // cannot be decoded the picture is dropped and no further loader is pending. With a pane
    // size (the image will be shown fitted to it), an image that can be decoded reduced (JPEG)
    // and is larger than the pane is decoded only as far as the fitted copy needs; the full
    // image is decoded when something asks for it (bitmap, full size, a turn). A negative
    // fitWidth: shown fitted to a pane not laid out yet; such an image is decoded at its first
    // fitting, and shown() paints nothing before.
    Load load(const std::string& path, uint64_t request, int fitWidth = 0, int fitHeight = 0);

    // load() in two halves, so that the decode can run on another thread while the window
    // stays responsive: decode() touches nothing of a model, accept() takes its result.
    struct Decoded {
        Load result = Load::Failed;
        TPicture picture;
        TBitmap fitted;
        bool reduced = false;
        int fittedWidth = 0, fittedHeight = 0;
        // What the file holds when its extension says otherwise; why it failed.
        ContentNote content;
        std::optional<DecodeFailure> failure;
    };
    static Decoded decode(const std::string& path, const PhotoSwitches& photo, int fitWidth, int fitHeight);
    // Nothing (Stopped) when request is no longer the pending one.
    Load accept(uint64_t request, Decoded decoded);
    // The loader has ended.
    void loaded() { loading_ = false; }
    // Tells the pending loader to stop.
    void stop() { request_ = 0; }
    // Whether request is still the pending loader's.
    bool pending(uint64_t request) const { return request_ == request; }

    // Of the last accepted load: the file's content when its extension lied, why it failed.
    const ContentNote& content() const { return content_; }
    const std::optional<DecodeFailure>& failure() const { return failure_; }

    // How the next load shows a photo.
    PhotoSwitches photo;

    TPicture& picture() { return picture_; }
    const TPicture& picture() const { return picture_; }
    // There is an image (decoded or decodable).
    bool hasImage() const;
    // The decoded image at its full size, decoding it now when only the fitted copy was made;
    // null when there is none or it cannot be decoded.
    const TBitmap* bitmap();
    // The picture as a bitmap that may be changed in place (turns), decoded at full size.
    TBitmap* editableBitmap();

    // The image the pane paints for a pane of paneWidth x paneHeight: the copy fitted to the pane
    // (aspect kept) when the image is larger than the pane, or always with enlarge; the image
    // itself at fullSize or when no copy could be made. refit makes the copy for this pane size;
    // without it the last copy stays. Null when there is no image.
    const TBitmap* shown(int paneWidth, int paneHeight, bool fullSize, bool enlarge, bool refit);
    // Whether fitting to a pane of paneWidth x paneHeight needs a decode (the copy in hand was
    // decoded reduced for another pane, or not yet): the window then decodes again off its
    // thread and meanwhile paints the copy in hand, shown() without refit.
    bool fitNeedsDecode(int paneWidth, int paneHeight, bool fullSize) const;
    const TBitmap& fitted() const { return fitted_; }

private:
    // Makes fitted_ fw x fh from a reduced decode; false when the graphic has no coarser scale
    // that still covers that size.
    bool fitReduced(int fw, int fh);

    std::string path_;
    bool loading_ = false;
    uint64_t request_ = 0;  // the pending loader; 0 = told to stop
    uint64_t counter_ = 0;
    TPicture picture_;
    TBitmap fitted_;
    ContentNote content_;
    std::optional<DecodeFailure> failure_;
    // The picture is still its own graphic, not decoded at full size; fitted_ came from a
    // reduced decode at fittedWidth_ x fittedHeight_.
    bool reduced_ = false;
    int fittedWidth_ = 0, fittedHeight_ = 0;
};

}  // namespace korvel
