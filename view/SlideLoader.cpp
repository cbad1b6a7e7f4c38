#include "view/SlideLoader.h"

#include <exception>

#include "browse/SlideShow.h"
#include "platform/QtImage.h"
#include "platform/UiHandOff.h"

SlideLoader::SlideLoader(QObject* parent) : QObject(parent), decode_(&SlideLoader::decodeSlide) {}

void SlideLoader::request(SlideRequest request) {
    queue_.dropWaiting();
    queue_.post([this, job = std::move(request)] { run(job); });
}

void SlideLoader::setDecode(Decode decode) {
    std::lock_guard lock(mutex_);
    decode_ = std::move(decode);
}

void SlideLoader::decodeSlide(const SlideRequest& request, SlideResult& result) {
    try {
        result.bitmap = korvel::decodeSlide(request.path, request.screen.width(), request.screen.height(), request.photo);
        if (request.fit) korvel::fitSlide(result.bitmap, request.box.width, request.box.height);
        result.image = toQImage(result.bitmap).convertToFormat(QImage::Format_RGB32);
        result.ok = true;
    } catch (const std::exception&) {  // a slide that cannot be decoded shows no image
        result.bitmap.clear();
        result.image = QImage();
        result.ok = false;
    }
}

void SlideLoader::run(const SlideRequest& job) {
    Decode decode;
    {
        std::lock_guard lock(mutex_);
        decode = decode_;
    }
    auto result = std::make_shared<SlideResult>();
    result->order = job;
    // Taken first: a file changed during the decode then counts as changed since.
    result->stamp = korvel::stampSlideFile(job.path);
    decode(job, *result);
    handToUi(this, [this, result] {
        if (onLoaded && !stopped_) onLoaded(result);
    });
}
