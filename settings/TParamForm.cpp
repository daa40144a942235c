#include "settings/TParamForm.h"

#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QTabWidget>
#include <QVBoxLayout>

namespace tarsel {

TParamForm::TParamForm(ParamFormState& state, ParamFormActions& actions, QWidget* parent)
    : QDialog(parent), state_(state), actions_(actions) {
    setWindowTitle("WorkSpace");
    setFixedSize(548, 482);
    setModal(false);

    pages_ = new QTabWidget(this);
    pages_->setGeometry(0, 0, 548, 440);

    loadMemo_ = new QPlainTextEdit;
    loadMemo_->setObjectName("LoadMemo");
    loadMemo_->setReadOnly(true);
    loadMemo_->setLineWrapMode(QPlainTextEdit::NoWrap);
    loadMemo_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    loadMemo_->setStyleSheet("QPlainTextEdit { color: yellow; background: black; }");
    loadMemo_->setPlainText(QString::fromStdString(state_.Memo.Text()));
    pages_->addTab(loadMemo_, "Load");
    pages_->addTab(new QWidget, "View");
    pages_->addTab(new QWidget, "Ray tracing");
    pages_->setCurrentIndex(0);

    bitBtn1_ = new QPushButton(style()->standardIcon(QStyle::SP_DialogApplyButton), "OK", this);
    bitBtn1_->setObjectName("BitBtn1");
    bitBtn1_->setGeometry((548 - 75) / 2, 448, 75, 25);
    connect(bitBtn1_, &QPushButton::clicked, this, [this] { actions_.BitBtn1Click(); });
}

void TParamForm::Refresh(ParamControl) {}

void TParamForm::AppendToMemo(std::string_view lines) {
    // One append for the whole log: a line-by-line append of a large workspace's log would
    // keep the window busy for seconds.
    loadMemo_->appendPlainText(
        QString::fromUtf8(lines.data(), static_cast<qsizetype>(lines.size())));
}

}  // namespace tarsel
