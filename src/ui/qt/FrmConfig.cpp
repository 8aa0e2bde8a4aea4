#include "ui/qt/FrmConfig.h"

#include <QLabel>
#include <QLineEdit>

#include "common/Failure.h"
#include "ui/qt/KeyPreview.h"
#include "ui/qt/Layout.h"

namespace tolvane::ui::qt {
namespace {

constexpr double kLabelLeft = 0;
constexpr double kLabelRight = 1605;
constexpr double kFieldLeft = 1740;
constexpr double kFieldHeight = 285;

QString QText(const std::string& text) {
    return QString::fromStdString(text);
}

}  // namespace

FrmConfig::FrmConfig(Context& context, std::function<void(const Failure&)> onUntrapped)
    : QDialog(nullptr, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      logic_(context),
      onUntrapped_(std::move(onUntrapped)),
      Txt_RUTA_(AddField("Txt_RUTA", "RUTA:", true, 180, 4965)),
      TXT_RUTABCK1_(AddField("TXT_RUTABCK1", "RUTA_BCK 1:", true, 660, 4965)),
      TXT_RUTABCK2_(AddField("TXT_RUTABCK2", "RUTA_BCK 2:", true, 1110, 4965)),
      txtServidor_(AddField("txtServidor", "Servidor FTP", false, 1590, 2625)),
      txtDirectorio_(AddField("txtDirectorio", "Directorio Remoto", false, 1980, 2205)),
      txtUsuario_(AddField("txtUsuario", "Usuario", false, 2400, 1575)),
      txtPassword_(AddField("txtPassword", "Password", false, 2850, 1575)) {
    setObjectName(QStringLiteral("Frm_Config"));
    setWindowTitle(QStringLiteral("Configuracion TOLVANE"));
    setFixedSize(Twips(7170), Twips(3660));
    setFont(FormFont(font()));
    setModal(true);

    auto* footer = new QLabel(QStringLiteral("[F11] - Guardar Cambios    [Esc] - Salir"), this);
    footer->setObjectName(QStringLiteral("lblTeclas"));
    footer->setFont(BoldTahoma(font(), 9));
    footer->move(Twips(3120), Twips(3210));
    footer->adjustSize();

    QWidget::setTabOrder(Txt_RUTA_, TXT_RUTABCK1_);
    QWidget::setTabOrder(TXT_RUTABCK1_, TXT_RUTABCK2_);
    QWidget::setTabOrder(TXT_RUTABCK2_, txtServidor_);
    QWidget::setTabOrder(txtServidor_, txtUsuario_);
    QWidget::setTabOrder(txtUsuario_, txtPassword_);
    QWidget::setTabOrder(txtPassword_, txtDirectorio_);

    new KeyPreview(*this, [this](int keyCode, int shift) { return KeyDown(keyCode, shift); });
    CenterOnScreen(*this);
}

QLineEdit* FrmConfig::AddField(const char* name, const char* label, bool boldLabel, double top,
                               double width) {
    auto* caption = new QLabel(QString::fromUtf8(label), this);
    caption->setGeometry(TwipsRect(kLabelLeft, top, kLabelRight - kLabelLeft, kFieldHeight));
    caption->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    if (boldLabel) {
        QFont bold = caption->font();
        bold.setBold(true);
        caption->setFont(bold);
    }
    auto* field = new QLineEdit(this);
    field->setObjectName(QString::fromUtf8(name));
    field->setGeometry(TwipsRect(kFieldLeft, top, width, kFieldHeight));
    caption->setBuddy(field);
    return field;
}

int FrmConfig::Open() {
    Show(logic_.Form_Load());
    Txt_RUTA_->setFocus();
    return exec();
}

config::ConfigFields FrmConfig::Fields() const {
    return {Txt_RUTA_->text().toStdString(),      TXT_RUTABCK1_->text().toStdString(),
            TXT_RUTABCK2_->text().toStdString(),  txtServidor_->text().toStdString(),
            txtDirectorio_->text().toStdString(), txtUsuario_->text().toStdString(),
            txtPassword_->text().toStdString()};
}

void FrmConfig::Show(const config::ConfigFields& fields) {
    Txt_RUTA_->setText(QText(fields.Txt_RUTA));
    TXT_RUTABCK1_->setText(QText(fields.TXT_RUTABCK1));
    TXT_RUTABCK2_->setText(QText(fields.TXT_RUTABCK2));
    txtServidor_->setText(QText(fields.txtServidor));
    txtDirectorio_->setText(QText(fields.txtDirectorio));
    txtUsuario_->setText(QText(fields.txtUsuario));
    txtPassword_->setText(QText(fields.txtPassword));
}

bool FrmConfig::KeyDown(int keyCode, int shift) {
    try {
        if (!logic_.Form_KeyDown(keyCode, shift, Fields()))
            return false;
        done(keyCode == config::kKeyF11 ? Accepted : Rejected);
    } catch (...) {
        // A failure must not cross Qt's event loop: it is reported from here.
        onUntrapped_(CurrentFailure());
    }
    return true;
}

}  // namespace tolvane::ui::qt
