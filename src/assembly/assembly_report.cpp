#include "assembly/assembly_report.h"

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QSplitter>
#include <QVBoxLayout>

#include "workspace/workspace.h"
#include "assembly/assembly_texts.h"
#include "editor/documents.h"
#include "editor/editeur.h"
#include "platform/failure.h"

namespace kavrel::assembly {

namespace {

QString fromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// Whether a path printed by the assembler names the file of a caption.
bool sameFile(const QString& printed, const QString& caption) {
    if (QDir::toNativeSeparators(printed) == caption)
        return true;
    const QFileInfo a(printed), b(caption);
    return a.exists() && b.exists() && a.canonicalFilePath() == b.canonicalFilePath();
}

Editeur* editorOf(Workspace& workspace, const QString& path) {
    for (Editeur* editor : workspace.editors())
        if (sameFile(path, editor->caption()))
            return editor;
    return nullptr;
}

} // namespace

AssemblyReport& AssemblyReport::of(Workspace& workspace) {
    if (auto* existing = workspace.window()->findChild<AssemblyReport*>())
        return *existing;
    return *new AssemblyReport(workspace);
}

AssemblyReport::AssemblyReport(Workspace& workspace)
    : QDockWidget(QString::fromUtf8(report::kPanelTitle), workspace.window()),
      workspace_(workspace), command_(new QLabel), verdict_(new QLabel), rows_(new QListWidget),
      output_(new QPlainTextEdit) {
    setObjectName(QStringLiteral("AssemblyReport"));
    setAccessibleName(windowTitle());
    setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable);
    setAllowedAreas(Qt::BottomDockWidgetArea | Qt::TopDockWidgetArea);

    command_->setObjectName(QStringLiteral("Command"));
    command_->setTextFormat(Qt::PlainText);
    command_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    command_->setAccessibleDescription(QString::fromUtf8(report::kCommandName));
    verdict_->setObjectName(QStringLiteral("Verdict"));
    verdict_->setTextFormat(Qt::PlainText);
    verdict_->setAccessibleDescription(QString::fromUtf8(report::kVerdictName));
    QFont bold = verdict_->font();
    bold.setBold(true);
    verdict_->setFont(bold);

    rows_->setObjectName(QStringLiteral("Diagnostics"));
    rows_->setAccessibleName(QString::fromUtf8(report::kDiagnosticsName));
    rows_->setSelectionMode(QAbstractItemView::SingleSelection);
    // Double-click, or Enter on the row with the keyboard.
    connect(rows_, &QListWidget::itemActivated, this,
            [this](QListWidgetItem* item) { goTo(rows_->row(item)); });

    output_->setObjectName(QStringLiteral("Output"));
    output_->setAccessibleName(QString::fromUtf8(report::kOutputName));
    output_->setReadOnly(true);
    output_->setLineWrapMode(QPlainTextEdit::NoWrap);
    QFont fixed(QStringLiteral("Courier"));
    fixed.setStyleHint(QFont::TypeWriter);
    fixed.setPointSizeF(9.75);
    output_->setFont(fixed);
    rows_->setFont(fixed);

    auto* body = new QWidget;
    auto* layout = new QVBoxLayout(body);
    layout->setContentsMargins(4, 2, 4, 2);
    layout->addWidget(command_);
    layout->addWidget(verdict_);
    auto* split = new QSplitter(Qt::Vertical);
    split->addWidget(rows_);
    split->addWidget(output_);
    layout->addWidget(split, 1);
    setWidget(body);
}

QString AssemblyReport::verdict() const {
    return verdict_->text();
}

void AssemblyReport::present(const AssemblyRun& run, const QString& sourcePath) {
    diagnostics_.clear();
    int errors = 0;
    const QString staged = fromUtf8(run.stagedPath);
    for (const Diagnostic& found : parseDiagnostics(run.process.output)) {
        // A BOO job assembles a staged copy: its rows name the user's source.
        const bool fromStaged = !staged.isEmpty() && sameFile(fromUtf8(found.path), staged);
        diagnostics_.push_back(fromStaged ? renamed(found, sourcePath.toStdString()) : found);
        errors += found.error ? 1 : 0;
    }

    command_->setText(fromUtf8(run.command));
    verdict_->setText(fromUtf8(verdictOf(run.process, errors)));
    rows_->clear();
    for (const Diagnostic& diagnostic : diagnostics_) {
        auto* item = new QListWidgetItem(fromUtf8(diagnostic.text), rows_);
        item->setToolTip(item->text());
    }
    output_->setPlainText(run.process.captured ? fromUtf8(run.process.output)
                                               : QString::fromUtf8(report::kNoOutput));

    clearErrorMarks(workspace_);
    for (const Diagnostic& diagnostic : diagnostics_)
        if (diagnostic.error)
            if (Editeur* editor = editorOf(workspace_, fromUtf8(diagnostic.path)))
                editor->texte()->markErrorLine(diagnostic.line - 1);

    workspace_.showPanel(this);
    if (!diagnostics_.empty())
        rows_->setCurrentRow(0);
}

void AssemblyReport::goTo(int row) {
    if (row < 0 || row >= static_cast<int>(diagnostics_.size()))
        return;
    const Diagnostic& diagnostic = diagnostics_[static_cast<std::size_t>(row)];
    const QString path = fromUtf8(diagnostic.path);
    Editeur* editor = editorOf(workspace_, path);
    if (!editor) {
        try {
            editor::LoadFile(workspace_, path);
        } catch (const Failure& failure) {
            workspace_.showFailure(failure);
            return;
        }
        editor = editorOf(workspace_, path);
        if (!editor)
            return; // refused (too large): LoadFile has said so
        for (const Diagnostic& other : diagnostics_)
            if (other.error && sameFile(fromUtf8(other.path), editor->caption()))
                editor->texte()->markErrorLine(other.line - 1);
    }
    workspace_.activateEditor(editor);
    editor->texte()->selectLine(diagnostic.line - 1);
    ShowCursorPos(workspace_);
}

void clearErrorMarks(Workspace& workspace) {
    for (Editeur* editor : workspace.editors())
        editor->texte()->clearErrorMarks();
}

} // namespace kavrel::assembly
