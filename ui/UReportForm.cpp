// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/UReportForm.h"

#include <QHeaderView>

#include "model/UTypes.h"
#include "settings/UCommon.h"
#include "ui/AnchoredPanel.h"
#include "ui/QtText.h"
#include "ui/rules/ReportView.h"

std::unique_ptr<TfmTezraReport> fmTezraReport;

namespace {

// The window is laid out for a client area of this size (an outer size of 804 x 366 with a
// usual frame).
constexpr int kDesignWidth = 796;
constexpr int kDesignHeight = 339;

constexpr int kKeyWidth = 180;
constexpr int kValueWidth = 263;
constexpr int kRowHeight = 24;
constexpr int kTableLeft = 8;
constexpr int kTableTop = 44;
constexpr int kTableWidth = kKeyWidth + kValueWidth + 2;
constexpr int kGaugeTop = 40;
constexpr int kGaugeHeight = 264;
constexpr int kPictureStep = 68;

constexpr const char* kKeys[rrCount] = {
    "Пользователь",    "Входит в группу",   "Сданный тест",      "Количество вопросов",
    "Набранные баллы", "Полученная оценка", "Затрачено времени",
};

QFont ArialFont(int pixels, bool bold = false, bool italic = false) {
    QFont font("Arial");
    font.setPixelSize(pixels);
    font.setBold(bold);
    font.setItalic(italic);
    return font;
}

QTableWidgetItem* Cell(const QString& text, const QColor& background) {
    auto* item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsEnabled);  // shown only: no selection, no editing
    item->setBackground(background);
    return item;
}

}  // namespace

TfmTezraReport::TfmTezraReport(QWidget* parent)
    : TModalForm(parent),
      panel_(new TAnchoredPanel({kDesignWidth, kDesignHeight}, this)),
      Label1(new QLabel(panel_)),
      vleResults(new QTableWidget(rrCount, 2, panel_)),
      Label3(new QLabel(panel_)),
      tbSpeed(MakeGauge("tbSpeed", QStringLiteral("Скорость"))),
      imgFast(MakePicture("imgFast", TResultPicture::Fast, QStringLiteral("Очень быстро"))),
      imgNormal(MakePicture("imgNormal", TResultPicture::Normal, QStringLiteral("Быстро"))),
      imgSlow(MakePicture("imgSlow", TResultPicture::Slow, QStringLiteral("Медленно"))),
      imgDumbSlow(
          MakePicture("imgDumbSlow", TResultPicture::VerySlow, QStringLiteral("Очень медленно"))),
      Label2(new QLabel(panel_)),
      tbCCleverness(MakeGauge("tbCCleverness", QStringLiteral("Правильность"))),
      imgGenius(MakePicture("imgGenius", TResultPicture::Genius, QStringLiteral("Отлично"))),
      imgSapiens(MakePicture("imgSapiens", TResultPicture::Sapiens, QStringLiteral("Хорошо"))),
      imgDumb(MakePicture("imgDumb", TResultPicture::Dumb, QStringLiteral("Можно лучше"))),
      imgIdiot(MakePicture("imgIdiot", TResultPicture::Idiot, QStringLiteral("Нужно подучить"))),
      bnExit(new QPushButton(panel_)),
      speedPictures_{imgFast, imgNormal, imgSlow, imgDumbSlow},
      correctnessPictures_{imgGenius, imgSapiens, imgDumb, imgIdiot} {
    setObjectName("fmTezraReport");
    setWindowTitle(QStringLiteral("Результаты"));
    setFont(ArialFont(16));
    QPalette face = palette();
    face.setColor(QPalette::Window, face.color(QPalette::Button));
    setPalette(face);
    setAutoFillBackground(true);

    Label1->setObjectName("Label1");
    Label1->setText(QStringLiteral("ВАШ РЕЗУЛЬТАТ"));
    Label1->setFont(ArialFont(21, true, true));
    Label1->setAlignment(Qt::AlignCenter);
    // The heading stretches with the width.
    panel_->Place(Label1, {kTableLeft, 6, kTableWidth, 32}, akLeft | akTop | akRight);

    vleResults->setObjectName("vleResults");
    vleResults->setAccessibleName(QStringLiteral("Результаты теста"));
    vleResults->horizontalHeader()->hide();
    vleResults->verticalHeader()->hide();
    vleResults->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    vleResults->verticalHeader()->setDefaultSectionSize(kRowHeight);
    vleResults->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    vleResults->setColumnWidth(0, kKeyWidth);
    vleResults->setColumnWidth(1, kValueWidth);
    vleResults->setShowGrid(true);
    vleResults->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    vleResults->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    vleResults->setEditTriggers(QAbstractItemView::NoEditTriggers);
    vleResults->setSelectionMode(QAbstractItemView::NoSelection);
    vleResults->setFocusPolicy(Qt::NoFocus);
    const QColor keyColour = palette().color(QPalette::Button).darker(108);
    const QColor valueColour(0xD0, 0xE0, 0xE0);
    for (int row = 0; row < rrCount; ++row) {
        vleResults->setItem(row, 0, Cell(QString::fromUtf8(kKeys[row]), keyColour));
        vleResults->setItem(row, 1, Cell(QString(), valueColour));
    }
    vleResults->setGeometry(kTableLeft, kTableTop, kTableWidth, rrCount * kRowHeight + 2);

    Label3->setObjectName("Label3");
    Label3->setText(QStringLiteral("Скорость"));
    Label2->setObjectName("Label2");
    Label2->setText(QStringLiteral("Правильность"));
    PlaceColumn(480, Label3, tbSpeed, speedPictures_);
    PlaceColumn(636, Label2, tbCCleverness, correctnessPictures_);

    bnExit->setObjectName("bnExit");
    bnExit->setText(QStringLiteral("Закрыть"));
    bnExit->setAccessibleName(bnExit->text());
    bnExit->setFont(ArialFont(16, true));
    QPalette hotLight = bnExit->palette();
    hotLight.setColor(QPalette::ButtonText, QColor(0x00, 0x66, 0xCC));
    bnExit->setPalette(hotLight);
    // The close button keeps its distance to the bottom.
    panel_->Place(bnExit, {kTableLeft, kDesignHeight - 44, 130, 36}, akLeft | akBottom);
    connect(bnExit, &QPushButton::clicked, this, &TfmTezraReport::bnExitClick);

    panel_->setObjectName("pnResults");
    resize(kDesignWidth, kDesignHeight);
    panel_->FillParent();
    move(235, 107);
}

QSlider* TfmTezraReport::MakeGauge(const char* name, const QString& accessibleName) {
    auto* gauge = new QSlider(Qt::Vertical, panel_);
    gauge->setObjectName(name);
    gauge->setAccessibleName(accessibleName);
    gauge->setRange(0, 100);
    gauge->setInvertedAppearance(true);  // 0 at the top
    gauge->setTickPosition(QSlider::TicksBothSides);
    gauge->setTickInterval(100);  // the two end ticks only
    gauge->setEnabled(false);
    return gauge;
}

QLabel* TfmTezraReport::MakePicture(const char* name, TResultPicture picture,
                                    const QString& accessibleName) {
    auto* image = new QLabel(panel_);
    image->setObjectName(name);
    image->setAccessibleName(accessibleName);
    image->setPixmap(DrawResultPicture(picture, 64));
    image->setScaledContents(true);
    return image;
}

void TfmTezraReport::PlaceColumn(int left, QLabel* label, QSlider* gauge,
                                 const std::array<QLabel*, 4>& pictures) {
    label->setAlignment(Qt::AlignCenter);
    label->setGeometry(left - 8, 8, 136, 26);
    gauge->setGeometry(left, kGaugeTop, 48, kGaugeHeight);
    for (std::size_t i = 0; i < pictures.size(); ++i) {
        pictures[i]->setGeometry(left + 56, kGaugeTop + static_cast<int>(i) * kPictureStep, 64,
                                 64);
    }
}

void TfmTezraReport::FormShow() {
    const TReportView view = MakeReportView(
        Settings ? CurrentReportInputs(*Settings, CurrentTezra()) : TReportInputs{});
    Label1->setText(view.Heading.empty() ? QStringLiteral("ВАШ РЕЗУЛЬТАТ")
                                         : ToQString(view.Heading));
    for (int row = 0; row < rrCount; ++row) {
        vleResults->item(row, 1)->setText(ToQString(view.Values[row]));
    }
    tbSpeed->setValue(view.SpeedPosition);
    tbCCleverness->setValue(view.CorrectnessPosition);
    for (QWidget* gaugePart :
         {static_cast<QWidget*>(Label3), static_cast<QWidget*>(tbSpeed),
          static_cast<QWidget*>(Label2), static_cast<QWidget*>(tbCCleverness)}) {
        gaugePart->setVisible(view.GaugesShown);
    }
    for (int i = 0; i < 4; ++i) {
        speedPictures_[i]->setVisible(view.GaugesShown && i == view.SpeedPicture);
        correctnessPictures_[i]->setVisible(view.GaugesShown && i == view.CorrectnessPicture);
    }
}

void TfmTezraReport::bnExitClick() {
    SetModalResult(mrOk);
}

QString TfmTezraReport::Value(const QString& key) const {
    for (int row = 0; row < vleResults->rowCount(); ++row) {
        if (vleResults->item(row, 0)->text() == key) {
            return vleResults->item(row, 1)->text();
        }
    }
    return {};
}

void TfmTezraReport::showEvent(QShowEvent* event) {
    FormShow();
    TModalForm::showEvent(event);
}
