#include "view/ImageCommands.h"
#include "platform/BusyCursor.h"
#include "platform/ErrorBox.h"

#include <QApplication>
#include <QLocale>
#include <QMessageBox>
#include <algorithm>

#include "imaging/Bitmap.h"
#include "base/Errors.h"
#include "formats/Picture.h"
#include "imaging/StretchUtils.h"
#include "codecs/JpegTurn.h"
#include "fileops/TurnFile.h"
#include "fileops/UndoRedo.h"
#include "platform/ShellServices.h"
#include "platform/Translations.h"
#include "view/SubFrm.h"
#include "view/SubFrmArrange.h"

#include <QPushButton>

namespace {

std::unique_ptr<korvel::TBitmap> turned(const korvel::TBitmap& image, TurnKind kind) {
    switch (kind) {
    case TurnKind::Right90: return korvel::Rotate90Right(image);
    case TurnKind::Half: return korvel::Rotate180(image);
    case TurnKind::Left90: return korvel::Rotate90Left(image);
    }
    return nullptr;
}

bool keepTimeOnTurn = false;
std::function<void(const std::vector<std::string>&)> rewriteFollower;

}  // namespace

void setTurnKeepsTime(bool keep) { keepTimeOnTurn = keep; }
bool turnKeepsTime() { return keepTimeOnTurn; }

void announceRewritten(const std::vector<std::string>& files) {
    for (TKorvelSubFrm* viewer : openSubViewers())
        if (std::find(files.begin(), files.end(), viewer->path()) != files.end()) viewer->reloadFile();
    if (rewriteFollower) rewriteFollower(files);
}

void setRewriteFollower(std::function<void(const std::vector<std::string>&)> follower) {
    rewriteFollower = std::move(follower);
}

bool TurnShownImage(korvel::TBitmap& image, TurnKind kind, QWidget* parent) {
    if (image.empty()) return false;
    return runOrReport(parent, {QMessageBox::Critical, QObject::tr("エラー"), QObject::tr("画像を回転出来ません。")}, [&] {
        BusyCursor busy;
        std::unique_ptr<korvel::TBitmap> result = turned(image, kind);
        if (!result) return false;
        image = std::move(*result);
        return true;
    });
}

int TurnAfter(int turn, TurnKind kind) {
    return korvel::composeOrientation(turn, kind == TurnKind::Right90 ? 6 : kind == TurnKind::Half ? 3 : 8);
}

bool SaveTurnToFile(const std::string& path, int turn, QWidget* parent) {
    korvel::TurnRequest request;
    request.orientation = turn == 1 ? 0 : turn;
    request.keepTime = keepTimeOnTurn;
    korvel::TurnOutcome outcome;
    {
        BusyCursor busy;
        outcome = korvel::turnFile(path, request);
    }
    if (outcome.status == korvel::TurnStatus::NotPerfect) {
        QMessageBox box(QMessageBox::Question, QObject::tr("確認"), coreText(korvel::turnTrimQuestion(path)),
                        QMessageBox::NoButton, parent);
        QPushButton* trim = box.addButton(QObject::tr("切り取る(&T)"), QMessageBox::AcceptRole);
        trim->setObjectName(QStringLiteral("TrimButton"));
        QPushButton* keep = box.addButton(QObject::tr("そのままにする(&K)"), QMessageBox::RejectRole);
        keep->setObjectName(QStringLiteral("KeepButton"));
        box.setDefaultButton(keep);
        box.exec();
        if (box.clickedButton() != trim) return false;
        request.trim = true;
        BusyCursor busy;
        outcome = korvel::turnFile(path, request);
    }
    if (outcome.status == korvel::TurnStatus::Upright) return false;
    if (outcome.status != korvel::TurnStatus::Turned) {
        QMessageBox::warning(parent, QObject::tr("エラー"), coreText(outcome.text(path)));
        return false;
    }
    const bool recorded = korvel::recordStep(korvel::StepKind::Turn, {outcome.entry}) == 0;
    announceRewritten({path});
    if (!recorded) QMessageBox::warning(parent, QObject::tr("エラー"), coreText(korvel::notRecordedText()));
    return true;
}

korvel::TBitmap LoadImageAsBitmap(const std::string& path, const korvel::PhotoSwitches& photo) {
    korvel::TPicture picture;
    korvel::DecodeLimits limits;
    limits.photo = photo;
    try {
        picture.loadFromFile(path, limits);
    } catch (const korvel::EInvalidGraphic&) {
        // The caller shows which decoder refused the file and why.
        if (!picture.failure()) throw;
        throw korvel::EInvalidGraphic(picture.failure()->text(coreTranslator()));
    }
    const korvel::TGraphic* g = picture.graphic();
    if (!g || g->empty()) throw korvel::EInvalidGraphic("empty image");
    // A new canvas is white, so transparent areas show white as in the rest of Korvel.
    korvel::TBitmap bitmap(g->width(), g->height(), korvel::PixelFormat::pf24bit);
    for (int y = 0; y < bitmap.height(); ++y) std::fill_n(bitmap.scanLine(y), bitmap.stride(), 0xFF);
    g->draw(bitmap, korvel::Rect{0, 0, g->width(), g->height()});
    return bitmap;
}

bool CopyFileImageToClipboard(const std::string& path, QWidget* parent) {
    return runOrReport(parent, {QMessageBox::Warning, QStringLiteral("Copy Error"), QObject::tr("クリップボードへコピー出来ませんでした。")},
                       [&] {
                           korvel::TPicture picture;
                           picture.loadFromFile(path);
                           korvel::LoadPictureAsBitmap(picture);
                           const korvel::TBitmap* raster = picture.graphic() ? picture.graphic()->raster() : nullptr;
                           return raster && copyImageToClipboard(*raster);
                       });
}

QString zoomText(float zoom) { return QString::number(double(zoom), 'g', QLocale::FloatingPointShortest); }
