// The write history in the window: "撤销上次写入" in the context menu writes back what the
// selected device held before its latest write that changed a key, after a confirmation naming
// the keys that change, with the checks of "tavrelctl undo"; a history that could not be written
// is said in the status box.
#include "ui/mainwindow.h"

#include "config/assignment.h"
#include "session/writehistory.h"
#include "ui/errorbox.h"

#include <QAction>
#include <QMessageBox>
#include <QPointer>

namespace tavrel {

namespace {

// The latest entry that changed a key, or null.
const history::HistoryEntry* latestChange(const std::vector<history::HistoryEntry>& entries)
{
    for (auto e = entries.rbegin(); e != entries.rend(); ++e)
        if (!e->changes().empty())
            return &*e;
    return nullptr;
}

}  // namespace

void MainWindow::buildHistoryAction()
{
    m_undoAction = new QAction(tr("撤销上次写入"), this);
    m_undoAction->setObjectName(QStringLiteral("undoAction"));
    addAction(m_undoAction);
    connect(m_undoAction, &QAction::triggered, this, [this] { onUndoTriggered(); });
    connect(m_session->history(), &WriteHistory::failed, this, [this](const QString&, const IoResult& outcome) {
        // The write goes on: the status box says what is missing, beside the serial it shows.
        m_historyNote = tr("写入历史未保存：%1").arg(failureText(outcome));
        showSerial(true);
    });
}

std::optional<history::UndoPlan> MainWindow::undoPlan(QString* about)
{
    AttachedDevice* device = m_editor->selected();
    if (!device)
        return std::nullopt;
    if (!WriteHistory::enabled()) {
        postErrorBox(tr("写入历史已关闭（TAVREL_HISTORY=0），无法撤销。"));
        return std::nullopt;
    }
    const WriteHistory* history = m_session->history();
    const WriteHistory::Entries read = history->entries(history->deviceOf(device));
    if (!read.outcome.ok()) {
        postErrorBox(tr("无法读取写入历史：%1").arg(failureText(read.outcome)));
        return std::nullopt;
    }
    const history::HistoryEntry* entry = latestChange(read.text.entries);
    if (!entry) {
        postErrorBox(tr("%1没有可撤销的写入。").arg(device->itemText()));
        return std::nullopt;
    }
    history::UndoPlan plan = history::planUndo(*entry, WriteHistory::heldRecords(*device));
    if (!plan.differing.isEmpty()) {
        postErrorBox(tr("无法撤销上次写入：按键%1在那之后又被改变了。").arg(keyNumbersText(plan.differing)));
        return std::nullopt;
    }
    if (plan.restore.empty()) {
        postErrorBox(tr("上次写入之前按键%1的内容不明，无法撤销。").arg(keyNumbersText(plan.unknown)));
        return std::nullopt;
    }
    *about = entry->time.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    return plan;
}

void MainWindow::onUndoTriggered()
{
    if (m_editor->busy() || m_undoBox)
        return;
    QString time;
    const std::optional<history::UndoPlan> plan = undoPlan(&time);
    if (!plan)
        return;
    const auto name = [this](const KeyRecord& record) {
        const QString text = assignmentText(record);
        return text.isEmpty() ? tr("（无）") : m_keyLabels.relabel(text);
    };
    QStringList lines{tr("撤销%1在%2的写入？以下按键将改变：").arg(m_editor->selected()->itemText(), time)};
    QList<int> keys;
    for (const history::KeyWrite& k : plan->restore) {
        lines << tr("按键%1：%2 → %3").arg(QString::number(k.key + 1), name(*k.before), name(k.written));
        keys << k.key;
    }
    if (!plan->unknown.isEmpty())
        lines << tr("按键%1之前的内容不明，保持不变。").arg(keyNumbersText(plan->unknown));

    m_undoBox = new QMessageBox(QMessageBox::Question, QStringLiteral("Tavrel"), lines.join(QLatin1Char('\n')),
                                QMessageBox::Yes | QMessageBox::Cancel, this);
    m_undoBox->setObjectName(QStringLiteral("UndoConfirmation"));
    m_undoBox->setDefaultButton(QMessageBox::Cancel);
    m_undoBox->setAttribute(Qt::WA_DeleteOnClose);
    connect(m_undoBox, &QObject::destroyed, this, [this] { m_undoBox = nullptr; });
    const QPointer<AttachedDevice> device(m_editor->selected());
    connect(m_undoBox, &QMessageBox::finished, this, [this, device, keys, first = *plan](int result) {
        // Closed: it is deleted later.
        m_undoBox = nullptr;
        if (result != QMessageBox::Yes)
            return;
        // What the device holds may have changed while the box was open: checked again.
        QString time;
        if (!device || device != m_editor->selected() || m_editor->busy())
            return;
        const std::optional<history::UndoPlan> now = undoPlan(&time);
        if (!now || now->restore != first.restore) {
            if (now)
                postErrorBox(tr("上次写入在确认期间已改变，没有撤销。"));
            return;
        }
        for (const history::KeyWrite& k : now->restore)
            device->setRecord(k.key, k.written, RecordOrigin::Loaded);
        m_session->history()->setCommand(QStringLiteral("tavrel"), QStringLiteral("undo"));
        device->writeKeys(keys);
        m_session->history()->setCommand(QStringLiteral("tavrel"), QStringLiteral("write"));
    });
    // Window-modal and opened without a nested event loop.
    m_undoBox->open();
}

}  // namespace tavrel
