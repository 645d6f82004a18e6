#include "KDialogs.h"

#include "KSettings.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QVBoxLayout>

#include <climits>

namespace {

QDialogButtonBox* OkCancel(QDialog* dialog)
{
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    return buttons;
}

}  // namespace

CNameDialog::CNameDialog(const QString& name, QWidget* parent) : QDialog(parent), field_(new QLineEdit(name, this))
{
    setWindowTitle("Name");
    field_->setMaxLength(50);
    // Typing replaces the old name.
    field_->selectAll();
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(field_);
    layout->addWidget(OkCancel(this));
}

QString CNameDialog::Name() const { return field_->text(); }

CNumbersDialog::CNumbersDialog(const QString& title, const QStringList& labels, const QList<int>& values, int minimum,
                               const QString& checkText, QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle(title);
    auto* form = new QFormLayout(this);
    for (qsizetype i = 0; i < labels.size(); ++i) {
        auto* field = new QSpinBox(this);
        field->setRange(minimum, INT_MAX);
        field->setValue(values.value(i));
        field->setObjectName(labels[i]);
        form->addRow(labels[i], field);
        fields_.push_back(field);
    }
    if (!checkText.isEmpty()) {
        check_ = new QCheckBox(checkText, this);
        check_->setChecked(true);
        form->addRow(check_);
    }
    form->addRow(OkCancel(this));
}

QList<int> CNumbersDialog::Values() const
{
    QList<int> values;
    for (const QSpinBox* field : fields_) values.push_back(field->value());
    return values;
}

bool CNumbersDialog::Checked() const { return check_ != nullptr && check_->isChecked(); }

CSaveNotifyDialog::CSaveNotifyDialog(QWidget* parent) : QDialog(parent)
{
    setWindowTitle("Save Notification");
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel("QUAV! Edit will now save your file and tell QUAV! Runner to play it.", this));
    auto* hide = new QCheckBox("Hide this message", this);
    hide->setChecked(true);
    connect(hide, &QCheckBox::clicked, this, [](bool checked) {
        if (!checked) KSetNotify(0);
    });
    layout->addWidget(hide);
    layout->addWidget(OkCancel(this));
}
