// The keyboards of the value input as dialogs of the play window.
#include "tools/kestro/playdialogs.h"

#include "runtime/host/linguist.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStringList>
#include <QVBoxLayout>

namespace kestro::play {

namespace {

enum KeyboardKind { kString = 0, kNumeric = 1, kSwitch = 2 };

// Results of the switch dialog besides Rejected.
enum SwitchResult { kFirstChosen = 2, kSecondChosen = 3 };

QString fromBytes(const std::string& bytes) {
    return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

bool integerMode(int mode) {
    // The integer keyboard's modes: plain 1, and 3, 5, 7 with the style and flag bits.
    return mode == 1 || mode == 3 || mode == 5 || mode == 7;
}

QString rangeText(const std::string& text3) {
    const QStringList limits = fromBytes(text3).split(QLatin1Char(','));
    if (limits.size() != 2) {
        return QStringLiteral("Range: %1").arg(fromBytes(text3));
    }
    // Equal limits switch the range check off.
    if (limits[0] == limits[1]) {
        return QStringLiteral("Range: any value");
    }
    return QStringLiteral("Range: %1 to %2").arg(limits[0], limits[1]);
}

QLabel* addLabel(QVBoxLayout* layout, const QString& text, const char* name) {
    auto* label = new QLabel(text);
    label->setObjectName(QLatin1String(name));
    label->setWordWrap(true);
    layout->addWidget(label);
    return label;
}

KeyboardAnswer askSwitch(const KeyboardCall& call, QDialog& dialog, QVBoxLayout* layout) {
    dialog.setWindowTitle(QStringLiteral("Switch"));
    addLabel(layout, QStringLiteral("Now: %1").arg(fromBytes(call.preset)), "keyboardValue");
    auto* buttons = new QHBoxLayout;
    auto addButton = [&](const std::string& text, const char* fallback, const char* name,
                         int result) {
        auto* button = new QPushButton(text.empty() ? QLatin1String(fallback) : fromBytes(text));
        button->setObjectName(QLatin1String(name));
        QObject::connect(button, &QPushButton::clicked, &dialog,
                         [&dialog, result] { dialog.done(result); });
        buttons->addWidget(button);
    };
    addButton(call.text2, "0", kSwitchFirst, kFirstChosen);
    addButton(call.text3, "1", kSwitchSecond, kSecondChosen);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"));
    QObject::connect(cancel, &QPushButton::clicked, &dialog, &QDialog::reject);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);

    KeyboardAnswer answer{true, call.preset};
    switch (dialog.exec()) {
    case kFirstChosen:
        answer.text = "0";
        break;
    case kSecondChosen:
        answer.text = "1";
        break;
    default:
        answer.cancelled = true;
        break;
    }
    return answer;
}

KeyboardAnswer askText(const KeyboardCall& call, QDialog& dialog, QVBoxLayout* layout) {
    if (call.kind == kNumeric) {
        dialog.setWindowTitle(integerMode(call.mode) ? QStringLiteral("Integer")
                                                     : QStringLiteral("Decimal"));
        addLabel(layout, rangeText(call.text3), "keyboardRange");
    } else {
        dialog.setWindowTitle(QStringLiteral("Text"));
    }
    const QString preset = fromBytes(call.preset);
    auto* edit = new QLineEdit(preset);
    edit->setObjectName(QLatin1String(kKeyboardText));
    edit->setMaxLength(1023); // the keyboard's buffer
    edit->selectAll();
    layout->addWidget(edit);
    auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    QObject::connect(box, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(box, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(box);

    KeyboardAnswer answer{true, call.preset};
    // An untouched preset goes back byte for byte, even when it was no valid UTF-8.
    if (dialog.exec() != QDialog::Accepted) {
        answer.cancelled = true;
    } else if (edit->text() != preset) {
        answer.text = edit->text().toUtf8().toStdString();
    }
    return answer;
}

} // namespace

KeyboardAnswer askKeyboard(const KeyboardCall& call, QWidget* parent) {
    if (call.kind != kString && call.kind != kNumeric && call.kind != kSwitch) {
        return {false, std::string()};
    }
    QDialog dialog(parent);
    dialog.setObjectName(QLatin1String(kKeyboardDialog));
    auto* layout = new QVBoxLayout(&dialog);
    const std::string prompt = Linguist::instance().translate(call.prompt);
    if (!prompt.empty()) {
        addLabel(layout, fromBytes(prompt), "keyboardPrompt");
    }
    return call.kind == kSwitch ? askSwitch(call, dialog, layout) : askText(call, dialog, layout);
}

} // namespace kestro::play
