#pragma once
// Decodes slides on one worker thread, so that a slide change on the window's thread costs only
// a paint. One request waits at most: a newer one replaces it. Results come back on the
// window's thread; none arrives after the loader is destroyed, and destroying it waits for the
// decode in hand.
#include <QImage>
#include <QObject>
#include <QSize>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "base/Limits.h"
#include "browse/SlideShow.h"
#include "imaging/Bitmap.h"

struct SlideRequest {
    uint64_t id = 0;
    std::string path;
    QSize screen;     // a JPEG is decoded at the coarsest scale that still covers this
    QSize box;        // the paint box the slide is reduced to fit
    bool fit = true;  // off: the slide stays at its decoded size (the plain stretch draws it)
    korvel::PhotoSwitches photo{true, true, true};
};

struct SlideResult {
    uint64_t id = 0;
    std::string path;
    QSize box;
    bool fit = true;
    bool ok = false;
    korvel::SlideStamp stamp;  // the file as it was when its decode began
    korvel::TBitmap bitmap;    // empty when the file could not be decoded
    QImage image;            // the bitmap as the display draws it
};

class SlideLoader : public QObject {
    Q_OBJECT
public:
    explicit SlideLoader(QObject* parent = nullptr);
    ~SlideLoader() override;

    // Queues request in place of any request still waiting.
    void request(SlideRequest request);
    // Drops the waiting request; the decode in hand finishes but its result is still delivered.
    void dropWaiting();
    // Receives each result on the thread that owns the loader, in order.
    std::function<void(std::shared_ptr<SlideResult>)> onLoaded;
    // Replaces the decoding itself (tests hold a decode in hand); taken up from the next job.
    using Decode = std::function<void(const SlideRequest&, SlideResult&)>;
    void setDecode(Decode decode);

    static void decodeSlide(const SlideRequest& request, SlideResult& result);

private:
    void run();
    std::mutex mutex_;
    std::condition_variable wake_;
    std::optional<SlideRequest> waiting_;
    Decode decode_;
    bool stop_ = false;
    std::thread thread_;
};
