#include "view/SlideLoader.h"

#include <exception>

#include "browse/SlideShow.h"
#include "platform/QtImage.h"

SlideLoader::SlideLoader(QObject* parent) : QObject(parent), decode_(&SlideLoader::decodeSlide) {
    thread_ = std::thread([this] { run(); });
}

SlideLoader::~SlideLoader() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
        waiting_.reset();
    }
    wake_.notify_all();
    thread_.join();
}

void SlideLoader::request(SlideRequest request) {
    {
        std::lock_guard lock(mutex_);
        waiting_ = std::move(request);
    }
    wake_.notify_all();
}

void SlideLoader::setDecode(Decode decode) {
    std::lock_guard lock(mutex_);
    decode_ = std::move(decode);
}

void SlideLoader::dropWaiting() {
    std::lock_guard lock(mutex_);
    waiting_.reset();
}

void SlideLoader::decodeSlide(const SlideRequest& request, SlideResult& result) {
    try {
        result.bitmap = korvel::decodeSlide(request.path, request.screen.width(), request.screen.height(), request.photo);
        if (request.fit) korvel::fitSlide(result.bitmap, request.box.width(), request.box.height());
        result.image = toQImage(result.bitmap).convertToFormat(QImage::Format_RGB32);
        result.ok = true;
    } catch (const std::exception&) {  // a slide that cannot be decoded shows no image
        result.bitmap.clear();
        result.image = QImage();
        result.ok = false;
    }
}

void SlideLoader::run() {
    for (;;) {
        SlideRequest job;
        Decode decode;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return stop_ || waiting_; });
            if (stop_) return;
            job = std::move(*waiting_);
            waiting_.reset();
            decode = decode_;
        }
        auto result = std::make_shared<SlideResult>();
        result->id = job.id;
        result->path = job.path;
        result->box = job.box;
        result->fit = job.fit;
        // Taken first: a file changed during the decode then counts as changed since.
        result->stamp = korvel::stampSlideFile(job.path);
        decode(job, *result);
        // Delivered through this object's event queue: once it is destroyed, nothing arrives.
        QMetaObject::invokeMethod(
            this, [this, result] { if (onLoaded) onLoaded(result); }, Qt::QueuedConnection);
    }
}
