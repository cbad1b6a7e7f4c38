#include "base/ErrorReason.h"

#include <cerrno>
#include <cstring>
#include <new>

#include "base/Errors.h"

namespace korvel {

namespace {

struct Row {
    int err;
    const char* text;
};

// The codes a user meets when copying, renaming and writing files. The texts say what is wrong
// with the user's file or disk, not which call failed.
const Row kReasons[] = {
    {ENOSPC, KORVEL_TR_NOOP("ErrorReason", "空き容量が足りません")},
    {EDQUOT, KORVEL_TR_NOOP("ErrorReason", "空き容量が足りません")},
    {EROFS, KORVEL_TR_NOOP("ErrorReason", "書き込みが禁止されています")},
    {EACCES, KORVEL_TR_NOOP("ErrorReason", "アクセス権がありません")},
    {EPERM, KORVEL_TR_NOOP("ErrorReason", "アクセス権がありません")},
    {ENAMETOOLONG, KORVEL_TR_NOOP("ErrorReason", "ファイル名が長すぎます")},
    {ENOENT, KORVEL_TR_NOOP("ErrorReason", "ファイルが見つかりません")},
    {EEXIST, KORVEL_TR_NOOP("ErrorReason", "同じ名前のファイルが既にあります")},
    {ENOTDIR, KORVEL_TR_NOOP("ErrorReason", "フォルダではありません")},
    {EISDIR, KORVEL_TR_NOOP("ErrorReason", "ファイルではなくフォルダです")},
    {ENOTEMPTY, KORVEL_TR_NOOP("ErrorReason", "フォルダが空ではありません")},
    {EXDEV, KORVEL_TR_NOOP("ErrorReason", "別のドライブへは移せません")},
    {EBUSY, KORVEL_TR_NOOP("ErrorReason", "使用中です")},
    {ETXTBSY, KORVEL_TR_NOOP("ErrorReason", "使用中です")},
    {EIO, KORVEL_TR_NOOP("ErrorReason", "読み書きのエラーが起きました")},
    {EMFILE, KORVEL_TR_NOOP("ErrorReason", "開いているファイルが多すぎます")},
    {ENFILE, KORVEL_TR_NOOP("ErrorReason", "開いているファイルが多すぎます")},
    {ENOMEM, KORVEL_TR_NOOP("ErrorReason", "メモリが足りません")},
    {EFBIG, KORVEL_TR_NOOP("ErrorReason", "ファイルが大きすぎます")},
    {ELOOP, KORVEL_TR_NOOP("ErrorReason", "シンボリックリンクが深く入れ子になりすぎています")},
    // Korvel's own name checks give EINVAL; so does renaming a folder into itself.
    {EINVAL, KORVEL_TR_NOOP("ErrorReason", "名前が正しくありません")},
    {ENOTSUP, KORVEL_TR_NOOP("ErrorReason", "この種類のファイルには対応していません")},
};

}  // namespace

const char* errorReasonText(int err) {
    for (const Row& r : kReasons)
        if (r.err == err) return r.text;
    return nullptr;
}

std::string systemErrorText(int err) {
    char buf[256];
    // The GNU strerror_r: it returns the text, in buf or a static string; unlike strerror it is
    // safe on the worker threads that convert and copy.
    return strerror_r(err, buf, sizeof buf);
}

std::string errorReason(int err) {
    const char* text = errorReasonText(err);
    return text ? text : systemErrorText(err);
}

std::string FailureReason::str() const {
    if (err != 0) return errorReason(err);
    return text.empty() ? message : text.str();
}

FailureReason reasonOf(const std::exception& e) {
    FailureReason r;
    if (const auto* f = dynamic_cast<const EFileError*>(&e); f && f->errorNumber() != 0) r.err = f->errorNumber();
    else if (const auto* k = dynamic_cast<const Exception*>(&e); k && !k->text().empty()) r.text = k->text();
    else if (dynamic_cast<const std::bad_alloc*>(&e)) r.err = ENOMEM;
    else r.message = e.what();
    return r;
}

}  // namespace korvel
