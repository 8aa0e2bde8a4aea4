#include "ui/qt/FrmLista.h"

#include <algorithm>

#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>

#include "common/Numbers.h"
#include "config/ConfigWindow.h"
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
      label1_(new QLabel(QStringLiteral("[Esc] - Cerrar"), this)) {
    setObjectName(QStringLiteral("frmLista"));
    setWindowTitle(QStringLiteral("Importación de Archivos XML"));
    setFixedSize(Twips(5910), Twips(4965));
    setFont(FormFont(font()));

    lst_->setObjectName(QStringLiteral("lst"));
    lst_->setGeometry(TwipsRect(0, 0, 5895, 3015));
    lst_->setSelectionMode(QAbstractItemView::SingleSelection);

    fr_->setObjectName(QStringLiteral("fr"));
    fr_->setGeometry(TwipsRect(0, 3000, 5895, 1575));

    image1_->setObjectName(QStringLiteral("Image1"));
    image1_->setGeometry(TwipsRect(120, 180, 420, 420));
    image1_->setPixmap(QPixmap(QStringLiteral(":/tolvane/image1.xpm"))
                           .scaled(image1_->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation));

    QLabel& fileLabel = *lbl_[0];
    fileLabel.setObjectName(QStringLiteral("lbl0"));
    fileLabel.setGeometry(TwipsRect(120, 240, 5685, 195));
    fileLabel.setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    QFont bold = fileLabel.font();
    bold.setBold(true);
    fileLabel.setFont(bold);

    QLabel& noticeLabel = *lbl_[1];
    noticeLabel.setObjectName(QStringLiteral("lbl1"));
    noticeLabel.setGeometry(TwipsRect(120, 480, 5685, 795));
    noticeLabel.setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    noticeLabel.setWordWrap(true);

    pbMain_->setObjectName(QStringLiteral("pbMain"));
    pbMain_->setGeometry(TwipsRect(120, 960, 5655, 375));
    pbMain_->setRange(0, 100);
    pbMain_->setValue(0);
    pbMain_->setTextVisible(false);

    label1_->setObjectName(QStringLiteral("Label1"));
    label1_->setFont(BoldTahoma(font(), 9.75));
    // A stand-in for Tahoma may be wider: the label then grows to the left, keeping its
    // right edge, so that the whole text shows.
    QRect box = TwipsRect(4440, 4680, 1335, 240);
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
