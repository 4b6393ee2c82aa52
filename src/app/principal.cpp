#include "app/principal.h"

#include <algorithm>

#include <QCloseEvent>
#include <QDir>
#include <QDockWidget>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QStatusBar>
#include <vector>

#include "app/app_texts.h"
#include "app/menu_table.h"
#include "app/status_bar.h"
#include "editor/editeur.h"
#include "platform/desktop.h"
#include "platform/failure.h"

namespace kavrel {

namespace {
// The client area of the window's definition: 7020 x 5070 twips.
constexpr QSize kClientSize(468, 338);
} // namespace

Principal::Principal(QString programDir, std::unique_ptr<app::MessageBoxes> messages,
                     std::unique_ptr<editor::CommonDialog> commonDialog, QWidget* parent)
    : QMainWindow(parent), programDir_(std::move(programDir)), messages_(std::move(messages)),
      commonDialog_(std::move(commonDialog)) {
    setObjectName(QStringLiteral("Principal"));
    setWindowTitle(app::texts::kTitle);

    mdiArea_ = new QMdiArea(this);
    mdiArea_->setObjectName(QStringLiteral("Workspace"));
    // Qt paints an MDI workspace in the palette's workspace shade; Windows
    // names its own colour for it.
    if (const auto colour = platform::workspaceColour())
        mdiArea_->setBackground(*colour);
    setCentralWidget(mdiArea_);

    status_ = new app::StatusPanels(statusBar());
    buildMenus();
    refreshItemStates();
    connect(mdiArea_, &QMdiArea::subWindowActivated, this, &Principal::refreshItemStates);

    // The creation step sets the launch mode to normal, in this order.
    setBatchMode(false);

    resize(kClientSize.width(), kClientSize.height() + menuBar()->sizeHint().height());
}

// QWidget's destructor closes the windows still open after this object's own
// members are gone: the workspace must not call back into them.
Principal::~Principal() {
    disconnect(mdiArea_, nullptr, this, nullptr);
}

void Principal::buildMenus() {
    std::vector<QMenu*> parents; // parents[level - 1] is the open submenu of that level
    for (const app::MenuEntry& entry : app::menuTable()) {
        const QString name = QString::fromLatin1(entry.name);
        const QString caption = QString::fromUtf8(entry.caption);
        parents.resize(static_cast<std::size_t>(entry.level - 1));
        QMenu* menu = nullptr;
        QAction* action = nullptr;
        if (entry.kind == app::MenuKind::Submenu || entry.kind == app::MenuKind::WindowList) {
            menu = parents.empty() ? menuBar()->addMenu(caption) : parents.back()->addMenu(caption);
            menu->setObjectName(name);
            action = menu->menuAction();
            parents.push_back(menu);
        } else {
            action = parents.back()->addAction(caption);
            action->setCheckable(entry.kind == app::MenuKind::CheckCommand);
            connect(action, &QAction::triggered, this, [this, &entry] { runCommand(entry); });
        }
        action->setObjectName(name);
        action->setIconVisibleInMenu(false);
        if (entry.state) {
            statefulItems_.emplace_back(action, &entry);
            connect(parents.back(), &QMenu::aboutToShow, this, &Principal::refreshItemStates,
                    Qt::UniqueConnection);
        }
        if (entry.kind == app::MenuKind::WindowList) {
            windowMenu_ = menu;
            connect(menu, &QMenu::aboutToShow, this, &Principal::fillWindowMenu);
        }
    }
}

// The window list is rebuilt each time it opens: one entry per editor, in
// opening order, under its caption, the active one checked.
void Principal::refreshItemStates() {
    for (const auto& [action, entry] : statefulItems_) {
        const app::ItemState state = entry->state(*this);
        action->setEnabled(state.enabled);
        if (action->isCheckable())
            action->setChecked(state.checked);
    }
}

// Other windows (a simulation) are listed among the editors by their title.
void Principal::fillWindowMenu() {
    windowMenu_->clear();
    QMdiSubWindow* active = mdiArea_->currentSubWindow();
    for (QMdiSubWindow* window : subWindows()) {
        QString text = window->windowTitle();
        text.replace(QLatin1Char('&'), QStringLiteral("&&"));
        QAction* entry = windowMenu_->addAction(text);
        entry->setCheckable(true);
        entry->setChecked(window == active);
        connect(entry, &QAction::triggered, window, [this, window] { activateSubWindow(window); });
    }
}

QList<Editeur*> Principal::editors() const {
    QList<Editeur*> list;
    for (QMdiSubWindow* window : mdiArea_->subWindowList(QMdiArea::CreationOrder))
        if (auto* editor = qobject_cast<Editeur*>(window))
            list.append(editor);
    return list;
}

Editeur* Principal::activeEditor() const {
    // The current window stays known while the application is inactive.
    QMdiSubWindow* current = mdiArea_->currentSubWindow();
    if (!current)
        return nullptr;
    if (auto* editor = qobject_cast<Editeur*>(current))
        return editor;
    // Another kind of window is active: the editor that last was.
    const QList<QMdiSubWindow*> history = mdiArea_->subWindowList(QMdiArea::ActivationHistoryOrder);
    for (auto it = history.crbegin(); it != history.crend(); ++it)
        if (auto* editor = qobject_cast<Editeur*>(*it))
            return editor;
    return nullptr;
}

QList<QMdiSubWindow*> Principal::subWindows() const {
    return mdiArea_->subWindowList(QMdiArea::CreationOrder);
}

QMdiSubWindow* Principal::activeSubWindow() const {
    return mdiArea_->currentSubWindow();
}

void Principal::addSubWindow(QMdiSubWindow* window) {
    mdiArea_->addSubWindow(window);
    window->show();
    activateSubWindow(window);
}

void Principal::activateSubWindow(QMdiSubWindow* window) {
    if (auto* editor = qobject_cast<Editeur*>(window)) {
        activateEditor(editor);
        return;
    }
    if (window->isMinimized())
        window->showNormal();
    mdiArea_->setActiveSubWindow(window);
    if (window->widget())
        window->widget()->setFocus();
}

Editeur* Principal::createEditor(const QString& caption) {
    auto* editor = new Editeur(*this, caption);
    connect(editor, &Editeur::caretShouldShow, this, [this] { ShowCursorPos(*this); });
    mdiArea_->addSubWindow(editor);
    editor->show();
    editor->placeAsDefined(cascadeStep(editor));
    activateEditor(editor);
    return editor;
}

// The first free step of the cascade; it starts again at the defined place
// when every step is taken or the next one would put the title bar outside
// the workspace (the defined window is already larger than the workspace of
// the defined main window, so the rest of it may be cut off).
int Principal::cascadeStep(const Editeur* added) const {
    const int titleHeight = added->size().height() - added->texte()->size().height();
    const QSize area = mdiArea_->viewport()->size();
    int steps = 1;
    while (titleHeight > 0 && steps < 64) {
        const QPoint place = Editeur::cascadePlace(steps, titleHeight);
        if (place.y() + titleHeight > area.height() || place.x() + 4 * titleHeight > area.width())
            break;
        ++steps;
    }
    QList<QPoint> taken;
    for (const Editeur* other : editors())
        if (other != added)
            taken.append(other->pos());
    for (int step = 0; step < steps; ++step)
        if (!taken.contains(Editeur::cascadePlace(step, titleHeight)))
            return step;
    return static_cast<int>(taken.size()) % steps;
}

void Principal::activateEditor(Editeur* editor) {
    if (editor->isMinimized())
        editor->showNormal();
    mdiArea_->setActiveSubWindow(editor);
    editor->texte()->setFocus();
}

bool Principal::noProgramOpen() {
    if (openWindowCount() != 1)
        return false;
    messages_->show(this, app::texts::kNoProgramTitle, app::texts::kNoProgramText,
                    app::BoxIcon::Warning, app::BoxButtons::Ok);
    return true;
}

void Principal::showFailure(const Failure& failure) {
    QString text = QString::fromUtf8(failure.operation());
    if (!failure.path().empty())
        text += QStringLiteral("\r\n") + QString::fromUtf8(failure.path());
    text += QStringLiteral("\r\n") + QString::fromUtf8(failure.reason());
    messages_->show(this, app::texts::kErrorTitle, text, app::BoxIcon::Warning,
                    app::BoxButtons::Ok);
}

void Principal::runCommand(const app::MenuEntry& entry) {
    if (entry.guard == app::Guard::ProgramOpen && noProgramOpen())
        return;
    try {
        entry.command(*this);
    } catch (const Declined&) {
        // The user said no to a question on the way: nothing more to say.
    } catch (const Failure& failure) {
        showFailure(failure);
    } catch (const std::exception& error) {
        showFailure(Failure("Opération interrompue", {}, error.what()));
    }
}

void Principal::setPosXY(const QString& text) {
    status_->panel(QStringLiteral("Pos_XY"))->setText(text);
}

QString Principal::posXY() const {
    return status_->panel(QStringLiteral("Pos_XY"))->text();
}

void Principal::showPanel(QDockWidget* panel) {
    if (dockWidgetArea(panel) == Qt::NoDockWidgetArea) {
        addDockWidget(Qt::BottomDockWidgetArea, panel);
        // A third of the window: the editors keep the most of it.
        resizeDocks({panel}, {std::max(120, height() / 3)}, Qt::Vertical);
    }
    panel->show();
    panel->raise();
}

bool Principal::batchMode() const {
    return findChild<QAction*>(QStringLiteral("Batch_mode"))->isChecked();
}

void Principal::setBatchMode(bool batch) {
    findChild<QAction*>(QStringLiteral("Batch_mode"))->setChecked(batch);
    findChild<QAction*>(QStringLiteral("Normal_mode"))->setChecked(!batch);
}

void Principal::closeEvent(QCloseEvent* event) {
    // Every editor passes through its close prompt, in opening order. Only an
    // editor whose save failed stays open, and then the program stays too.
    for (Editeur* editor : editors()) {
        if (!editor->close()) {
            event->ignore();
            return;
        }
    }
    // The other windows have nothing to save; they stop what they run.
    for (QMdiSubWindow* window : subWindows())
        if (!qobject_cast<Editeur*>(window))
            window->close();
    event->accept();
}

std::unique_ptr<Principal> Main(const QString& programDir) {
    return Main(programDir, std::make_unique<app::QtMessageBoxes>(),
                std::make_unique<editor::QtCommonDialog>());
}

std::unique_ptr<Principal> Main(const QString& programDir,
                                std::unique_ptr<app::MessageBoxes> messages,
                                std::unique_ptr<editor::CommonDialog> commonDialog) {
    auto principal = std::make_unique<Principal>(QDir::toNativeSeparators(programDir),
                                                 std::move(messages), std::move(commonDialog));
    principal->show();
    principal->setPosXY(app::texts::kPosStart);
    return principal;
}

} // namespace kavrel
