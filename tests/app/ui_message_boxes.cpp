// The real message boxes: a Yes/No question answers only to its buttons.
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>

#include <gtest/gtest.h>

#include "workspace/message_boxes.h"

using namespace kavrel::app;

namespace {

// Acts on the box once it is up, while show() runs its own event loop.
void whenShown(std::function<void(QMessageBox*)> act) {
    QTimer::singleShot(0, [act] {
        QMessageBox* box = nullptr;
        QTRY_VERIFY_WITH_TIMEOUT(
            (box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())), 5000);
        act(box);
    });
}

TEST(QuestionBox, EscapeAndTheCloseControlLeaveTheQuestionStanding) {
    for (const bool yes : {true, false}) {
        SCOPED_TRACE(yes ? "Oui" : "Non");
        bool stillThere = false;
        QString title, text;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        whenShown([&](QMessageBox* box) {
            title = box->windowTitle();
            text = box->text();
            icon = box->icon();
            QTest::keyClick(box, Qt::Key_Escape);
            box->close();
            QTest::qWait(20);
            stillThere = box->isVisible() && QApplication::activeModalWidget() == box;
            box->button(yes ? QMessageBox::Yes : QMessageBox::No)->click();
        });
        QtMessageBoxes boxes;
        const BoxAnswer answer = boxes.show(
            nullptr, QStringLiteral("Enregistrement des données..."),
            QStringLiteral("Enregistrer ?\r\n/tmp/a.asc"), BoxIcon::Warning, BoxButtons::YesNo);
        EXPECT_TRUE(stillThere);
        EXPECT_EQ(answer, yes ? BoxAnswer::Yes : BoxAnswer::No);
        EXPECT_EQ(title, QStringLiteral("Enregistrement des données..."));
        EXPECT_EQ(text, QStringLiteral("Enregistrer ?\n/tmp/a.asc"));
        EXPECT_EQ(icon, QMessageBox::Warning);
    }
}

TEST(QuestionBox, AnOkBoxStillClosesWithEscape) {
    bool escaped = false;
    whenShown([&](QMessageBox* box) {
        QTest::keyClick(box, Qt::Key_Escape);
        QTest::qWait(20);
        escaped = !box->isVisible();
        if (!escaped)
            box->button(QMessageBox::Ok)->click();
    });
    QtMessageBoxes boxes;
    EXPECT_EQ(boxes.show(nullptr, QStringLiteral("Message :"), QStringLiteral("x"),
                         BoxIcon::Warning, BoxButtons::Ok),
              BoxAnswer::Ok);
    EXPECT_TRUE(escaped);
}

} // namespace
