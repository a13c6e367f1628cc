#include "ui/views/account/AccountNotes.h"

#include "ui/views/common/RefreshScheduler.h"
#include "ui/views/common/SheetSupport.h"
#include "ui/widgets/DisclaimerCard.h"
#include "ui/widgets/TextLabel.h"
#include "viewmodel/MainViewModel.h"
#include "viewmodel/texts/Presentation.h"

#include <QLabel>
#include <QVBoxLayout>
#include <iterator>

namespace orvalink::ui {

namespace {

struct Note {
    BilingualText title;
    BilingualText body;
};

const Note kNotes[] = {
    {{"迁移边界", "Migration Boundary"},
     {"不要迁移系统原有目录、系统关键目录或用途不明确的核心路径。优先迁移 500 MB "
      "以上的大应用、大项目目录或大数据目录；只有几 MB 的内容通常没有必要迁移。",
      "Do not move built-in system folders, critical system directories, or core paths whose purpose is "
      "unclear. Prioritize large apps, project folders, or data directories above 500 MB. Tiny items "
      "measured in only a few megabytes are usually not worth moving."}},
    {{"数据说明", "Data Handling"},
     {"网站与云端仅保存恢复路径、路径映射、设备绑定和恢复元数据，不存储你的具体文件内容。登录后会在本机"
      "的应用数据目录保存会话信息与设备指纹，用于刷新 token、绑定设备和恢复登录状态。",
      "The site and cloud store only restore paths, path mappings, device bindings, and restore metadata. "
      "They do not store your actual file contents. After sign-in, the app stores the session and device "
      "fingerprint in its data folder for token refresh, device binding, and session recovery."}},
    {{"迁移前后", "Before and After Migration"},
     {"迁移前先关闭正在使用该目录的软件。迁移成功后，先重新打开对应软件确认数据、项目和配置都还在；"
      "如果数据异常、路径不对或软件表现异常，应立即反悔上次迁移并恢复原目录，再继续排查。",
      "Close the app that is using the target folder before migration. After a successful move, reopen "
      "the related app and verify that data, projects, and settings are intact. If anything looks wrong, "
      "undo the last migration and restore the original path before continuing."}},
};

} // namespace

AccountNotesSection::AccountNotesSection(MainViewModel& viewModel, QWidget* parent)
    : CollapsibleSection(parent), m_viewModel(viewModel)
{
    setObjectName(QStringLiteral("notesSection"));
    setSymbol(QStringLiteral("info.circle"));
    m_summary = textLabel(nullptr, QStringLiteral("notesSummary"), TextStyle::Subheadline,
                          LabelOption::Wrap | LabelOption::Semibold);
    useSummaryWidth(m_summary);
    setSummary(m_summary);
    auto* cards = new QWidget;
    cards->setObjectName(QStringLiteral("notesCards"));
    auto* layout = new QVBoxLayout(cards);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(10);
    for (qsizetype index = 0; index < qsizetype(std::size(kNotes)); ++index) {
        m_cards.append(new DisclaimerCard(QString(), QString(), cards));
        layout->addWidget(m_cards.last());
    }
    setBody(cards);

    auto* scheduler = new RefreshScheduler([this] { refresh(); }, this);
    scheduler->watch(&viewModel.presentation(), &Presentation::textsChanged);
    scheduler->refreshNow();
}

void AccountNotesSection::refresh()
{
    setTitle(m_viewModel.presentation().localized({"说明", "Notes"}));
    setToggleTexts(m_viewModel.presentation().localized({"展开", "Expand"}),
                   m_viewModel.presentation().localized({"收起", "Collapse"}));
    setTextIfChanged(m_summary, m_viewModel.presentation().localized(
                                    {"本地会话与设备说明", "Local session and device notes"}));
    for (qsizetype index = 0; index < m_cards.size(); ++index) {
        const Note& note = kNotes[index];
        m_cards.at(index)->setTexts(m_viewModel.presentation().localized(note.title),
                                    m_viewModel.presentation().localized(note.body));
    }
}

} // namespace orvalink::ui
