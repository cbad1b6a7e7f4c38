#pragma once
// Decodes slides on one worker queue, so that a slide change on the window's thread costs only
// a paint. One request waits at most: a newer one replaces it. Results come back on the
// window's thread through the one hand-off; none arrives after stop() or once the loader is
// destroyed, and both wait for the decode in hand.
#include <QImage>
#include <QObject>
#include <QSize>
#include <functional>
#include <memory>
#include <mutex>

#include "base/Limits.h"
#include "base/Workers.h"
#include "browse/SlidePrefetch.h"
#include "imaging/Bitmap.h"

struct SlideRequest : korvel::SlideOrder {
    QSize screen;  // a JPEG is decoded at the coarsest scale that still covers this
    korvel::PhotoSwitches photo{true, true, true};
};

struct SlideResult : korvel::DecodedSlide {
    korvel::TBitmap bitmap;  // empty when the file could not be decoded
    QImage image;            // the bitmap as the display draws it
};

class SlideLoader : public QObject {
    Q_OBJECT
public:
    explicit SlideLoader(QObject* parent = nullptr);
    ~SlideLoader() override { stop(); }

    // Queues request in place of any request still waiting. Throws korvel::Exception when no
    // thread can be had for it.
    void request(SlideRequest request);
    // Drops the waiting request; the decode in hand finishes but its result is still delivered.
    void dropWaiting() { queue_.dropWaiting(); }
    // Drops the waiting request and waits for the one in hand; later requests are ignored.
    void stop() {
        stopped_ = true;
        queue_.stop();
    }
    // Receives each result on the thread that owns the loader, in order.
    std::function<void(std::shared_ptr<SlideResult>)> onLoaded;
    // Replaces the decoding itself (tests hold a decode in hand); taken up from the next job.
    using Decode = std::function<void(const SlideRequest&, SlideResult&)>;
    void setDecode(Decode decode);

    static void decodeSlide(const SlideRequest& request, SlideResult& result);

private:
    void run(const SlideRequest& job);
    std::mutex mutex_;
    Decode decode_;
    bool stopped_ = false;  // read on the owner's thread only
    korvel::WorkQueue queue_;
};
