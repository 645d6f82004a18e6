#pragma once
// The small property dialogs of the world tree and the properties bar, and
// the save notification shown before Run.

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QSpinBox;

// "Name": one field of at most 50 characters.
class CNameDialog : public QDialog {
    Q_OBJECT
public:
    CNameDialog(const QString& name, QWidget* parent);
    QString Name() const;
    QLineEdit* Field() const { return field_; }

private:
    QLineEdit* field_;
};

// "Location", "Size" and "Viewport": labelled integer fields, and for
// "Size" the "Change Viewport" box.
class CNumbersDialog : public QDialog {
    Q_OBJECT
public:
    CNumbersDialog(const QString& title, const QStringList& labels, const QList<int>& values, int minimum,
                   const QString& checkText, QWidget* parent);
    QList<int> Values() const;
    bool Checked() const;

private:
    QList<QSpinBox*> fields_;
    QCheckBox* check_ = nullptr;
};

// "Save Notification" with its "Hide this message" box; clearing the box
// writes Notify/param = 0.
class CSaveNotifyDialog : public QDialog {
    Q_OBJECT
public:
    explicit CSaveNotifyDialog(QWidget* parent);
};

// Until the script editor exists, a node's script is edited as plain text.
class CScriptDialog : public QDialog {
    Q_OBJECT
public:
    CScriptDialog(const QString& nodeName, const QString& text, QWidget* parent);
    QString Text() const;

private:
    class QPlainTextEdit* edit_;
};
