// Key files: Ctrl+S saves the selected device's keys, Ctrl+O loads a file into the table. The
// session checks and holds the keys; the window asks for the file and says how it went.
#include "ui/mainwindow.h"

#include "platform/userfile.h"
#include "session/keyfiles.h"
#include "ui/errorbox.h"
#include "ui/widgets/messagepopup.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QStandardPaths>

namespace tavrel {

namespace {

// The faults listed in the error box; the rest are counted.
constexpr int FaultsShown = 8;

}  // namespace

void MainWindow::buildFileActions()
{
    // Also in the window's context menu: while the capture box has the focus, the shortcuts
    // are combinations for the key.
    const auto add = [this](const char* name, const QString& text, QKeySequence::StandardKey key,
                            void (MainWindow::*handler)()) {
        auto* action = new QAction(text, this);
        action->setObjectName(QLatin1String(name));
        action->setShortcut(key);
        action->setShortcutContext(Qt::WindowShortcut);
        addAction(action);
        connect(action, &QAction::triggered, this, [this, handler] { (this->*handler)(); });
    };
    add("saveAction", tr("保存按键配置…"), QKeySequence::Save, &MainWindow::onSaveTriggered);
    add("openAction", tr("载入按键配置…"), QKeySequence::Open, &MainWindow::onOpenTriggered);
    setContextMenuPolicy(Qt::ActionsContextMenu);
    m_keyFileReader = new KeyFileReader(this);
    connect(m_keyFileReader, &KeyFileReader::finished, this,
            [this](const KeyFileReader::Result& read) { showLoadedKeyFile(read); });
}

void MainWindow::onSaveTriggered()
{
    askForFile(true);
}

void MainWindow::onOpenTriggered()
{
    askForFile(false);
}

void MainWindow::askForFile(bool save)
{
    // In the capture box Ctrl+S and Ctrl+O are combinations being taken for a key; while a read
    // or write runs the table is not whole; one dialog, and one file being read, at a time.
    if (m_editor->capturing() || m_editor->busy() || m_fileDialog || m_keyFileReader->busy())
        return;
    const QString filter = tr("按键配置 (*.json)") + QStringLiteral(";;") + tr("所有文件 (*)");
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        folder = QDir::homePath();

    m_fileDialog = new QFileDialog(this, save ? tr("保存按键配置") : tr("载入按键配置"), folder, filter);
    m_fileDialog->setObjectName(QStringLiteral("KeyFileDialog"));
    m_fileDialog->setAttribute(Qt::WA_DeleteOnClose);
    if (save) {
        m_fileDialog->setAcceptMode(QFileDialog::AcceptSave);
        m_fileDialog->setDefaultSuffix(QStringLiteral("json"));
        const QString serial = m_editor->selected() ? m_editor->selected()->identity().serial : QString();
        m_fileDialog->selectFile(serial.isEmpty() ? QStringLiteral("tavrel-keys.json")
                                                  : QStringLiteral("tavrel-%1.json").arg(serial));
    } else {
        m_fileDialog->setAcceptMode(QFileDialog::AcceptOpen);
        m_fileDialog->setFileMode(QFileDialog::ExistingFile);
    }
    connect(m_fileDialog, &QFileDialog::fileSelected, this,
            [this, save](const QString& path) { save ? saveKeyFile(path) : openKeyFile(path); });
    connect(m_fileDialog, &QObject::destroyed, this, [this] { m_fileDialog = nullptr; });
    // Window-modal and opened without a nested event loop: reads, writes and hotplug go on.
    m_fileDialog->open();
}

void MainWindow::saveKeyFile(const QString& path)
{
    const QByteArray text = keyFile(m_editor->selected());
    if (text.isEmpty()) {
        postErrorBox(tr("按键尚未读取，无法保存。"));
        return;
    }
    const IoResult saved = platform::writeUserFile(QFile::encodeName(path).toStdString(), text);
    if (!saved.ok()) {
        postErrorBox(tr("无法保存%1：%2").arg(QDir::toNativeSeparators(path), failureText(saved)));
        return;
    }
    m_messagePopup->setText(tr("按键配置已保存到%1。").arg(QFileInfo(path).fileName()));
    m_messagePopup->setIcon(QStringLiteral("PopupIcon"));
    m_messagePopup->open();
}

void MainWindow::openKeyFile(const QString& path)
{
    m_keyFileReader->read(path);
}

void MainWindow::showLoadedKeyFile(const KeyFileReader::Result& read)
{
    const QString name = QFileInfo(read.path).fileName();
    if (!read.outcome.ok()) {
        postErrorBox(tr("无法读取%1：%2").arg(QDir::toNativeSeparators(read.path), failureText(read.outcome)));
        return;
    }
    // The editor takes a file that parsed, checking it against the device, and says so when the
    // keys have not been read; only a file's own faults are known here already.
    const auto loaded = read.faults && keysRead(m_editor->selected())
                            ? std::variant<int, configfile::FileErrors>(*read.faults)
                            : loadKeyFile(m_editor->selected(), read.bytes);
    if (const auto* errors = std::get_if<configfile::FileErrors>(&loaded)) {
        QStringList lines{tr("%1未载入，按键没有改变：").arg(name)};
        for (std::size_t i = 0; i < errors->size() && i < std::size_t(FaultsShown); ++i) {
            const configfile::FileError& e = (*errors)[i];
            if (e.unlisted > 0)
                break;
            lines << (e.line > 0 ? tr("第%1行：%2").arg(QString::number(e.line), e.reason) : e.reason);
        }
        const std::size_t faults = configfile::faultCount(*errors);
        if (faults > std::size_t(FaultsShown))
            lines << tr("另有%n处错误。", nullptr, int(faults) - FaultsShown);
        postErrorBox(lines.join(QLatin1Char('\n')));
        return;
    }
    m_messagePopup->setText(tr("已载入%n个按键，点击“写入”写入设备。", nullptr, std::get<int>(loaded)));
    m_messagePopup->setIcon(QStringLiteral("PopupIcon"));
    m_messagePopup->open();
}

}  // namespace tavrel
