#include "ui/errorbox.h"

#include "platform/filefailure.h"

#include <QApplication>
#include <QMessageBox>
#include <QTimer>

namespace tavrel {

QString withFullStop(const QString& text)
{
    // A Chinese sentence ends with its own full stop (or ！ or ？), which sorts after ours.
    static const QString SentenceEnds = QStringLiteral("。！？");
    if (!text.isEmpty() && text.back() > QLatin1Char('.') && !SentenceEnds.contains(text.back()))
        return text + QLatin1Char('.');
    return text;
}

QString failureText(const IoResult& result)
{
    switch (result.status) {
    case IoResult::Status::HookLibraryMissing:
        return QCoreApplication::translate("tavrel::ErrorBox", "未发现键盘钩子DLL");
    case IoResult::Status::HookEntryPointsMissing:
        return QCoreApplication::translate("tavrel::ErrorBox", "在给定的 DLL中未发现所需的函数");
    case IoResult::Status::SharedMemoryFailed:
        return QCoreApplication::translate("tavrel::ErrorBox", "创建内存映射文件时出错");
    default:
        return fileFailureText(result);
    }
}

void showErrorBox(const QString& text)
{
    // Opened without a nested event loop, so that no handler waits for the user to close it.
    auto* box = new QMessageBox(QMessageBox::Critical, QStringLiteral("Tavrel"), withFullStop(text), QMessageBox::Ok,
                                QApplication::activeWindow());
    box->setObjectName(QStringLiteral("ErrorBox"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

void postErrorBox(const QString& text)
{
    QTimer::singleShot(0, qApp, [text] { showErrorBox(text); });
}

}  // namespace tavrel
