#include "UiTestSupport.h"
#include "ui/widgets/CaptchaImage.h"
#include "ui/widgets/CardFrame.h"
#include "ui/widgets/Chip.h"
#include "ui/widgets/CollapsibleSection.h"
#include "ui/widgets/FlowLayout.h"
#include "ui/widgets/GroupPanel.h"
#include "ui/widgets/RingGauge.h"
#include "ui/widgets/SelectablePathField.h"
#include "ui/widgets/Stepper.h"
#include "ui/widgets/Symbols.h"
#include "ui/widgets/TextLabel.h"
#include "ui/widgets/TextStyles.h"

#include <QGridLayout>
#include <QImageReader>
#include <QLabel>
#include <QTest>
#include <QVBoxLayout>

using namespace orvalink;
using namespace orvalink::ui;

namespace {

const QByteArray kStripesSvg =
    "<svg xmlns='http://www.w3.org/2000/svg' viewBox='0 0 180 56'>"
    "<rect width='180' height='56' fill='#eef3ff'/>"
    "<path d='M10 40 C50 5 90 50 170 15' stroke='#3366cc' stroke-width='4' fill='none'/>"
    "<text x='40' y='38' font-size='26' fill='#223355'>7Q4K</text></svg>";

QLabel* styledLabel(const QString& text, TextStyle style, bool secondary = false)
{
    QLabel* label = textLabel(nullptr, QString(), style, secondary ? LabelOption::Secondary : LabelOptions());
    label->setText(text);
    return label;
}

QWidget* gaugeCell(double ratio, const QString& symbol, const QColor& tint, const QString& title)
{
    auto* cell = new QWidget;
    auto* layout = new QHBoxLayout(cell);
    auto* gauge = new RingGauge;
    gauge->setFixedSize(84, 84);
    gauge->setTint(tint);
    gauge->setSymbol(symbol);
    gauge->setRatio(ratio);
    layout->addWidget(gauge);
    auto* texts = new QVBoxLayout;
    texts->addWidget(styledLabel(title, TextStyle::Headline));
    texts->addWidget(styledLabel(QStringLiteral("%1%").arg(qRound(ratio * 100)), TextStyle::Caption, true));
    layout->addLayout(texts);
    return cell;
}

QWidget* symbolGrid()
{
    auto* grid = new QWidget;
    auto* layout = new QGridLayout(grid);
    layout->setSpacing(4);
    const QStringList names = Symbols::names();
    constexpr int kColumns = 5;
    for (int i = 0; i < names.size(); ++i) {
        auto* cell = new QWidget;
        auto* cellLayout = new QHBoxLayout(cell);
        cellLayout->setContentsMargins(0, 0, 0, 0);
        auto* icon = new QLabel;
        icon->setPixmap(Symbols::icon(names.at(i), QColor(0, 105, 217)).pixmap(28, 28));
        cellLayout->addWidget(icon);
        cellLayout->addWidget(styledLabel(names.at(i), TextStyle::Caption, true), 1);
        layout->addWidget(cell, i / kColumns, i % kColumns);
    }
    return grid;
}

QWidget* captchaRow()
{
    auto* row = new QWidget;
    auto* layout = new QHBoxLayout(row);
    const QStringList urls = {
        QStringLiteral("data:image/svg+xml;base64,") + QString::fromLatin1(kStripesSvg.toBase64()),
        QString(),
        QStringLiteral("data:image/png;base64,AAAA\" onerror=\"x"),
    };
    for (const QString& url : urls) {
        auto* captcha = new CaptchaImage;
        captcha->setPlaceholderText(QStringLiteral("验证码加载中 Loading Captcha"));
        captcha->setDataUrl(url);
        layout->addWidget(captcha);
    }
    layout->addStretch(1);
    return row;
}

CollapsibleSection* section(const QString& title, const QString& symbol, bool expanded)
{
    auto* result = new CollapsibleSection;
    result->setTitle(title);
    result->setSymbol(symbol);
    result->setToggleTexts(QStringLiteral("展开 Expand"), QStringLiteral("收起 Collapse"));
    auto* summary = new QWidget;
    auto* summaryLayout = new QVBoxLayout(summary);
    summaryLayout->setContentsMargins(0, 0, 0, 0);
    summaryLayout->addWidget(
        styledLabel(QStringLiteral("修改登录密码 Change Sign-In Password"), TextStyle::Subheadline));
    summaryLayout->addWidget(
        styledLabel(QStringLiteral("默认收起，避免账户页过长。"), TextStyle::Caption, true));
    result->setSummary(summary);
    auto* body = new QWidget;
    auto* flow = new FlowLayout(body);
    for (const QString& text : {QStringLiteral("本机 This Computer"), QStringLiteral("3 条记录 3 records"),
                                QStringLiteral("上次同步 Last sync 10:42"), QStringLiteral("冲突 Conflict")})
        flow->addWidget(new Chip(text));
    result->setBody(body);
    result->setExpanded(expanded);
    return result;
}

QWidget* buildGallery()
{
    auto* page = new QWidget;
    page->setAutoFillBackground(true);
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(20, 20, 20, 20);
    layout->setSpacing(14);
    layout->addWidget(styledLabel(QStringLiteral("存储概览 Storage Overview"), TextStyle::Title3));

    auto* card = new CardFrame;
    auto* cardLayout = new QHBoxLayout(card);
    cardLayout->setContentsMargins(14, 14, 14, 14);
    cardLayout->addWidget(gaugeCell(0.62, QStringLiteral("internaldrive.fill"), QColor(0, 122, 255),
                                    QStringLiteral("内置磁盘 Internal Disk")));
    cardLayout->addWidget(gaugeCell(0.18, QStringLiteral("externaldrive.fill"), QColor(52, 199, 89),
                                    QStringLiteral("目标磁盘 Target Disk")));
    cardLayout->addWidget(gaugeCell(0.97, QStringLiteral("folder.fill.badge.gearshape"), QColor(255, 149, 0),
                                    QStringLiteral("当前目录 Directory")));
    cardLayout->addWidget(gaugeCell(0.0, QStringLiteral("checkmark.circle.fill"), QColor(48, 176, 199),
                                    QStringLiteral("已选 Selected")));
    layout->addWidget(card);

    auto* group = new GroupPanel(QStringLiteral("迁移列表 Migration List"), QStringLiteral("wand.and.stars"));
    auto* chips = new QWidget;
    auto* chipFlow = new FlowLayout(chips);
    auto* migrated = new Chip(QStringLiteral("已迁移 Migrated"));
    migrated->setTint(QColor(255, 149, 0), 0.15);
    migrated->setForeground(QColor(200, 100, 0));
    chipFlow->addWidget(migrated);
    auto* badge = new Chip(QStringLiteral("someone.with.a.long.address@example.com"));
    badge->setSymbol(QStringLiteral("checkmark.seal.fill"));
    badge->setTint(QColor(52, 199, 89), 0.12);
    badge->setForeground(QColor(30, 140, 60));
    badge->setMaximumTextWidth(180);
    chipFlow->addWidget(badge);
    chipFlow->addWidget(new Chip(QStringLiteral("建议符号链接 Use Symlink")));
    group->contentLayout()->addWidget(chips);
    auto* stepper = new Stepper;
    stepper->setRange(0, 1048576);
    stepper->setStep(10);
    stepper->setValue(100);
    stepper->setLabelText(QStringLiteral("最小大小 Min size: 100 MB"));
    group->contentLayout()->addWidget(stepper);
    auto* path = new SelectablePathField;
    path->setText(QStringLiteral("/media/external/Orvalink/Movies/Library – 电影资料库"));
    group->contentLayout()->addWidget(path);
    layout->addWidget(group);

    layout->addWidget(
        section(QStringLiteral("密码安全 Password Security"), QStringLiteral("lock.rotation"), false));
    layout->addWidget(section(QStringLiteral("迁移同步 Migration Sync"),
                              QStringLiteral("arrow.triangle.2.circlepath"), true));
    layout->addWidget(captchaRow());
    layout->addWidget(symbolGrid());
    layout->addStretch(1);
    return page;
}

} // namespace

class WidgetGalleryTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { test::prepareWidgetTests(); }

    void galleryRendersAndIsSaved()
    {
        std::unique_ptr<QWidget> gallery(buildGallery());
        gallery->setAttribute(Qt::WA_DontShowOnScreen);
        gallery->resize(760, gallery->sizeHint().height());
        gallery->show();
        QApplication::processEvents();
        QVERIFY(test::settleCaptchas(gallery.get()));
        const QImage image = gallery->grab().toImage();
        QVERIFY(!image.isNull());
        const QString path = test::saveScreen(image, QStringLiteral("widget-gallery"));
        QVERIFY(!path.isEmpty());
        QImageReader reader(path);
        QCOMPARE(reader.size(), image.size());
        // Every chip of the sections is laid out inside the gallery, none collapsed to nothing.
        for (const Chip* chip : gallery->findChildren<Chip*>()) {
            if (chip->isVisible())
                QVERIFY(chip->width() >= chip->sizeHint().width());
        }
    }
};

QTEST_MAIN(WidgetGalleryTest)
#include "tst_widgetgallery.moc"
