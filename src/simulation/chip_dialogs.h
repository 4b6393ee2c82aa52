#pragma once

// The dialogs of "Configurer le circuit (CONFIG)..." and "Programmer
// l'EEPROM...", on a ChipAccess (a window's chip or a board of their own). Every request to the
// chip is answered by a signal: the dialogs never wait for it.
#include <QDialog>
#include <QList>
#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

#include "board/config_register.h"
#include "board/eeprom_records.h"
#include "simulation/chip_access.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTableWidget;
class QGridLayout;

namespace kavrel {
class Workspace;
}

namespace kavrel::simulation {

class ConfigDialog : public QDialog {
    Q_OBJECT
public:
    // Reads CONFIG at once; the bits show once it has come.
    ConfigDialog(Workspace& workspace, ChipAccess* access, QWidget* parent = nullptr);

    // The check box of a bit by its name ("NOSEC"), null when the part has none.
    QCheckBox* bit(const QString& name) const;
    QStringList bitNames() const;
    QString statusText() const;
    QString inForceText() const;
    QString atResetText() const;
    QPushButton* programButton() const { return program_; }
    // CONFIG as the next reset takes it, once read.
    std::optional<std::uint8_t> atReset() const { return atReset_; }
    bool busy() const { return busy_; }

public slots:
    void program();

signals:
    // A programming ended (told in the status), or the user said no.
    void finishedProgramming(bool ok);

private:
    void showBits();
    void showValues();
    std::uint8_t chosenValue() const;
    void setBusy(bool on);
    void say(const QString& text);
    void read(bool ok, quint8 inForce, quint8 atReset, const QString& message);
    void programmed(bool ok, const QString& message);

    Workspace& workspace_;
    ChipAccess* access_;
    board::Part part_;
    std::optional<std::uint8_t> inForce_, atReset_;
    std::optional<std::uint8_t> expected_; // programmed, to be read back
    bool checking_ = false;                // its end told: the next read checks it
    bool busy_ = false;

    QComboBox* partCombo_ = nullptr;
    QGridLayout* bitsGrid_ = nullptr;
    QList<QCheckBox*> boxes_;
    QList<QWidget*> bitWidgets_;
    QLabel* inForceLabel_ = nullptr;
    QLabel* atResetLabel_ = nullptr;
    QLabel* newLabel_ = nullptr;
    QLabel* status_ = nullptr;
    QPushButton* program_ = nullptr;
    QPushButton* close_ = nullptr;
};

class EepromDialog : public QDialog {
    Q_OBJECT
public:
    // `s19Path` is proposed first (may be empty); CONFIG is read to know
    // where the EEPROM is.
    EepromDialog(Workspace& workspace, ChipAccess* access, const QString& s19Path,
                 QWidget* parent = nullptr);

    // Reads an S19 and shows its EEPROM records; false, told, when it does not read.
    bool setFile(const QString& path);
    QString file() const { return path_; }
    QTableWidget* recordsTable() const { return table_; }
    QString noticeText() const;
    QString statusText() const;
    QPushButton* programButton() const { return program_; }
    QPushButton* cancelButton() const { return cancel_; }
    bool busy() const { return busy_; }
    std::size_t programmedBytes() const { return done_; }

public slots:
    void chooseFile();
    void program();
    // Cancels a programming under way; otherwise closes.
    void reject() override;

signals:
    void finishedProgramming(bool ok);

private:
    void showRecords();
    // Where the EEPROM is, from CONFIG in force.
    void place(std::uint8_t inForce);
    void next();
    void setBusy(bool on);
    void say(const QString& text);

    Workspace& workspace_;
    ChipAccess* access_;
    QString path_;
    std::vector<board::MemoryBlock> blocks_;
    std::optional<board::AddressRange> eeprom_;
    std::optional<std::uint8_t> inForce_;
    bool eepromOff_ = false;
    board::EepromRecords records_;
    std::size_t segment_ = 0, done_ = 0, before_ = 0, total_ = 0;
    bool busy_ = false, cancelling_ = false;

    QLineEdit* fileEdit_ = nullptr;
    QTableWidget* table_ = nullptr;
    QLabel* notice_ = nullptr;
    QLabel* status_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QPushButton* choose_ = nullptr;
    QPushButton* program_ = nullptr;
    QPushButton* cancel_ = nullptr;
};

} // namespace kavrel::simulation
