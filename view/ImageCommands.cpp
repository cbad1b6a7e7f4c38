#include "view/ImageCommands.h"
#include "platform/BusyCursor.h"

#include <QApplication>
#include <QLocale>
#include <QMessageBox>
#include <new>

#include "imaging/Bitmap.h"
#include "base/Errors.h"
#include "formats/Picture.h"
#include "imaging/StretchUtils.h"
#include "platform/ShellServices.h"

namespace {

std::unique_ptr<korvel::TBitmap> turned(const korvel::TBitmap& image, TurnKind kind) {
    switch (kind) {
    case TurnKind::Right90: return korvel::Rotate90Right(image);
    case TurnKind::Half: return korvel::Rotate180(image);
    case TurnKind::Left90: return korvel::Rotate90Left(image);
    }
    return nullptr;
}

}  // namespace

bool TurnShownImage(korvel::TBitmap& image, TurnKind kind, QWidget* parent) {
    if (image.empty()) return false;
    bool ok = false;
    {
        BusyCursor busy;
        try {
            std::unique_ptr<korvel::TBitmap> result = turned(image, kind);
            if (result) {
                image = std::move(*result);
                ok = true;
            }
        } catch (const korvel::Exception&) {
        } catch (const std::bad_alloc&) {
        }
    }
    if (!ok) QMessageBox::critical(parent, QObject::tr("エラー"), QObject::tr("画像を回転出来ません。"), QMessageBox::Ok);
    return ok;
}

korvel::TBitmap LoadImageAsBitmap(const std::string& path) {
    korvel::TPicture picture;
    picture.loadFromFile(path);
    const korvel::TGraphic* g = picture.graphic();
    if (!g || g->empty()) throw korvel::EInvalidGraphic("empty image");
    // A new canvas is white, so transparent areas show white as in the rest of Korvel.
    korvel::TBitmap bitmap(g->width(), g->height(), korvel::PixelFormat::pf24bit);
    for (int y = 0; y < bitmap.height(); ++y) std::fill_n(bitmap.scanLine(y), bitmap.stride(), 0xFF);
    g->draw(bitmap, korvel::Rect{0, 0, g->width(), g->height()});
    return bitmap;
}

bool CopyFileImageToClipboard(const std::string& path, QWidget* parent) {
    bool ok = false;
    try {
        korvel::TPicture picture;
        picture.loadFromFile(path);
        korvel::LoadPictureAsBitmap(picture);
        const korvel::TBitmap* raster = picture.graphic() ? picture.graphic()->raster() : nullptr;
        ok = raster && copyImageToClipboard(*raster);
    } catch (const korvel::Exception&) {
    } catch (const std::bad_alloc&) {
    }
    if (!ok)
        QMessageBox::warning(parent, QStringLiteral("Copy Error"), QObject::tr("クリップボードへコピー出来ませんでした。"));
    return ok;
}

QString zoomText(float zoom) { return QString::number(double(zoom), 'g', QLocale::FloatingPointShortest); }
