#include "ui/qt/FrmLista.h"

#include <algorithm>

#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>

#include "common/Numbers.h"
#include "config/ConfigWindow.h"
#include "ui/FormLayout.h"
#include "ui/qt/KeyPreview.h"
#include "ui/qt/Layout.h"

namespace tolvane::ui::qt {

FrmLista::FrmLista(std::function<void()> hide)
    : QWidget(nullptr, Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                           Qt::WindowMinimizeButtonHint),
      hide_(std::move(hide)),
      lst_(new QListWidget(this)),
      fr_(new QGroupBox(this)),
      image1_(new QLabel(fr_)),
      lbl_{new QLabel(QStringLiteral("..."), fr_), new QLabel(QStringLiteral("..."), fr_)},
      pbMain_(new QProgressBar(fr_)),
      label1_(new QLabel(QString::fromUtf8(layout::kLabel1Text), this)) {
    setObjectName(QStringLiteral("frmLista"));
    setWindowTitle(QString::fromUtf8(layout::kFrmListaCaption));
    setFixedSize(Twips(layout::kFrmListaWidth), Twips(layout::kFrmListaHeight));
    setFont(FormFont(font()));

    lst_->setObjectName(QStringLiteral("lst"));
    lst_->setGeometry(TwipsRect(layout::kLst));
    lst_->setSelectionMode(QAbstractItemView::SingleSelection);

    fr_->setObjectName(QStringLiteral("fr"));
    fr_->setGeometry(TwipsRect(layout::kFr));

    image1_->setObjectName(QStringLiteral("Image1"));
    image1_->setGeometry(TwipsRect(layout::kImage1));
    image1_->setPixmap(QPixmap(QStringLiteral(":/tolvane/image1.xpm"))
                           .scaled(image1_->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation));

    QLabel& fileLabel = *lbl_[0];
    fileLabel.setObjectName(QStringLiteral("lbl0"));
    fileLabel.setGeometry(TwipsRect(layout::kLblFile));
    fileLabel.setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    QFont bold = fileLabel.font();
    bold.setBold(true);
    fileLabel.setFont(bold);

    QLabel& noticeLabel = *lbl_[1];
    noticeLabel.setObjectName(QStringLiteral("lbl1"));
    noticeLabel.setGeometry(TwipsRect(layout::kLblNotice));
    noticeLabel.setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    noticeLabel.setWordWrap(true);

    pbMain_->setObjectName(QStringLiteral("pbMain"));
    pbMain_->setGeometry(TwipsRect(layout::kPbMain));
    pbMain_->setRange(0, 100);
    pbMain_->setValue(0);
    pbMain_->setTextVisible(false);

    label1_->setObjectName(QStringLiteral("Label1"));
    label1_->setFont(BoldTahoma(font(), layout::kLabel1Points));
    QRect box = TwipsRect(layout::kLabel1);
    box.setLeft(std::min(box.left(), box.right() + 1 - label1_->sizeHint().width()));
    label1_->setGeometry(box);

    new KeyPreview(*this, [this](int keyCode, int) {
        if (keyCode != config::kKeyEscape)
            return false;
        hide_();
        return true;
    });
    CenterOnScreen(*this);
}

void FrmLista::setProgress(float value) {
    pbMain_->setValue(static_cast<int>(RoundHalfEven(value)));
}

void FrmLista::closeEvent(QCloseEvent* event) {
    event->ignore();
    hide_();
}

}  // namespace tolvane::ui::qt
