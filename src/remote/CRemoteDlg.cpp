#include "remote/CRemoteDlg.h"

#include "remote/CRemotePicture.h"
#include "remote/CRemoteStudyDlg.h"
#include "remote/RemoteFile.h"
#include "remote/RemoteKeys.h"

#include "shell/AppState.h"
#include "shell/DeviceAdapter.h"
#include "shell/Language.h"
#include "shell/Shell.h"
#include "shell/ToolWindows.h"
#include "shell/UiServices.h"

#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cstring>

namespace kv {

namespace {

constexpr int kPictureId = 1279;
constexpr int kHelpId = 1216;
constexpr int kLoadId = 3;
constexpr int kSaveId = 4;
constexpr int kApplyId = 1;
constexpr int kNoticeMs = 1100;
constexpr int kLearnKey = 96;

QString RemoteFilter() {
    return QStringLiteral("Remote Data File(*.remo)");
}

bool RefuseWithoutProcessor() {
    if (device::IsConnected()) {
        return false;
    }
    ShowInfo(Tr("请先连接机器再进行此操作!", "Please connect the processor first!"), kNoticeMs);
    return true;
}

/// Why a key file was not loaded, naming the file.
QString LoadFailure(const RemoteFileResult& r, const QString& path) {
    switch (r.status) {
    case RemoteFileStatus::WrongSize:
        return r.size > kRemoteKeyTableSize
                   ? Tr("%1\n不是遥控文件：遥控文件是18个字节，这个文件更长。",
                        "%1\nis not a remote key file: a key file is 18 bytes long, this one "
                        "is longer.")
                         .arg(path)
                   : Tr("%1\n不是遥控文件：遥控文件是18个字节，这个文件只有%2个字节。",
                        "%1\nis not a remote key file: a key file is 18 bytes long, this one "
                        "has %2.")
                         .arg(path)
                         .arg(r.size);
    case RemoteFileStatus::NotRegular:
        return Tr("%1\n不是一个普通文件。", "%1\nis not a regular file.").arg(path);
    default:
        return Tr("无法打开文件：\n%1\n%2", "Can't open the file:\n%1\n%2")
            .arg(path, QString::fromLocal8Bit(std::strerror(r.error)));
    }
}

} // namespace

CRemoteDlg::CRemoteDlg(QWidget* parent)
    : QDialog(parent), m_picture(new CRemotePicture(this)), m_help(new QLabel(this)),
      m_load(new QPushButton(this)), m_save(new QPushButton(this)), m_apply(new QPushButton(this)) {
    setObjectName(QStringLiteral("remoteDialog"));
    setProperty("kvSkin", QStringLiteral("dialog"));
    SetControlId(m_picture, kPictureId);
    SetControlId(m_help, kHelpId);
    SetControlId(m_load, kLoadId);
    SetControlId(m_save, kSaveId);
    SetControlId(m_apply, kApplyId);
    m_help->setWordWrap(true);
    m_help->setFixedWidth(250);
    m_help->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    m_help->setObjectName(QStringLiteral("remoteHelp"));
    m_help->setStyleSheet(QStringLiteral(
        "QLabel#remoteHelp { background: rgb(250, 252, 255); border: 1px solid rgb(190, 205, "
        "225); border-radius: 6px; padding: 10px; }"));
    m_apply->setDefault(true);

    auto* buttons = new QVBoxLayout;
    buttons->addWidget(m_help, 1);
    buttons->addSpacing(10);
    buttons->addWidget(m_load);
    buttons->addWidget(m_save);
    buttons->addWidget(m_apply);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(16, 16, 16, 16);
    layout->setSpacing(16);
    layout->addWidget(m_picture, 1);
    layout->addLayout(buttons);

    connect(m_picture, &CRemotePicture::hotSpotClicked, this, &CRemoteDlg::LearnHotSpot);
    connect(m_load, &QPushButton::clicked, this, &CRemoteDlg::LoadFile);
    connect(m_save, &QPushButton::clicked, this, &CRemoteDlg::SaveFile);
    connect(m_apply, &QPushButton::clicked, this, &CRemoteDlg::accept);
    ApplyLanguage();
}

void CRemoteDlg::ApplyLanguage() {
    setWindowTitle(Tr("遥控学习", "Learn remoter control "));
    m_load->setText(Tr("载入参数", "Load file"));
    m_save->setText(Tr("保存参数", "Save file"));
    m_apply->setText(Tr("应用参数", "Apply"));
    m_help->setText(
        Tr("<b>使用说明</b><p>1. 用鼠标点击图中遥控器上要学习的按键。</p>"
           "<p>2. 学习窗口出现后，将您的遥控器对准机器，按下对应的按键。</p>"
           "<p>3. 机器学到键码后，学习窗口显示键码并自动关闭。</p>"
           "<p>4. 全部学完后点击“应用参数”，把键码保存到机器中。</p>"
           "<p>键码可以保存到文件，以后再载入。</p>",
           "<b>How to learn</b><p>1. Click the key you want to learn on the remote in the "
           "picture.</p><p>2. When the learning window opens, point your remote at the "
           "processor and press the matching key.</p><p>3. The learning window shows the "
           "code the processor learned and closes by itself.</p><p>4. When all keys are "
           "learned, click \"Apply\" to store the codes in the processor.</p><p>The codes "
           "can be saved to a file and loaded again later.</p>"));
    ApplyLanguageTexts(this, kDialogId);
}

void CRemoteDlg::RefreshFromImage() {
    m_picture->SetLearnedCodes(ImageRemoteKeyTable(GetParamImage()));
}

void CRemoteDlg::LearnHotSpot(int hotSpot) {
    const RemoteKey* key = RemoteKeyOfHotSpot(hotSpot);
    if (!key) {
        if (hotSpot == kUnsupportedHotSpot) {
            ShowMessage(this, Tr("不支持该功能", "No support!"), Tr("提示", "Information"),
                        BoxIcon::Information);
        }
        return;
    }
    device::SendCommand({kLearnKey, key->key});
    // The window may be destroyed while the learning runs (a device arrival closes the tool
    // windows), taking the learning window, its child, with it.
    const QPointer<CRemoteDlg> self(this);
    QPointer<CRemoteStudyDlg> study =
        new CRemoteStudyDlg(RemoteKeyText(*key, LanguageIndex()), this);
    GetAppState().Window(ToolWindow::RemoteStudy) = study.data();
    study->exec();
    delete study.data();
    if (self) {
        RefreshFromImage();
    }
}

void CRemoteDlg::accept() {
    ApplyTable();
}

void CRemoteDlg::ApplyTable() {
    SendRemoteKeyTable(ImageRemoteKeyTable(GetParamImage()));
    ShowInfo(Tr("遥控器键码保存成功!", "Save successed !"), kNoticeMs);
}

void CRemoteDlg::LoadFile() {
    if (RefuseWithoutProcessor()) {
        return;
    }
    const QString path = FileChooser().OpenFile(this, RemoteFilter());
    if (path.isEmpty()) {
        return;
    }
    RemoteKeyTable table = ImageRemoteKeyTable(GetParamImage());
    const RemoteFileResult r = ReadRemoteFile(QFile::encodeName(path).toStdString(), table);
    if (!r.ok()) {
        ShowMessage(this, LoadFailure(r, path), Tr("警告", "Warning"), BoxIcon::Warning);
        ShowInfo(Tr("载入遥控文件失败", "Loading the remote file failed"), kNoticeMs);
        return;
    }
    SetImageRemoteKeyTable(GetParamImage(), table);
    SendRemoteKeyTable(table);
    RefreshFromImage();
    ShowInfo(Tr("载入遥控文件成功", "Remote file loaded"), kNoticeMs);
}

void CRemoteDlg::SaveFile() {
    if (RefuseWithoutProcessor()) {
        return;
    }
    const QString chosen =
        FileChooser().SaveFile(this, QString(), QStringLiteral("remo"), RemoteFilter());
    if (chosen.isEmpty()) {
        return;
    }
    const std::string path = RemoteFileName(QFile::encodeName(chosen).toStdString());
    const RemoteFileResult r = WriteRemoteFile(path, ImageRemoteKeyTable(GetParamImage()));
    if (!r.ok()) {
        ShowMessage(this,
                    QStringLiteral("Errcode=%1,Can't write to file:\n%2\nProbaby it is write "
                                   "protected.")
                        .arg(r.error)
                        .arg(QFile::decodeName(path.c_str())),
                    QStringLiteral("Can't write to file"), BoxIcon::Warning);
        ShowInfo(Tr("保存遥控文件失败", "Saving the remote file failed"), kNoticeMs);
        return;
    }
    ShowInfo(Tr("保存遥控文件成功", "Remote file saved"), kNoticeMs);
}

void RegisterRemoteWindows() {
    RegisterToolWindow(ToolWindow::RemoteLearning,
                       [](QWidget* parent) -> QWidget* { return new CRemoteDlg(parent); });
}

} // namespace kv
