#include "app/gui/dialogs/progress_dialog.h"

#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QFontMetrics>
#include <QFrame>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

namespace kalder::gui {

ProgressDialog::ProgressDialog(app::ProgressModel::Clock clock) : m_model(std::move(clock)) {}

ProgressDialog::~ProgressDialog() { Close(); }

void ProgressDialog::Create(QWidget* parent) {
    Close();
    auto* window = new QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint);
    window->setObjectName(QStringLiteral("progressDialog"));
    window->setAttribute(Qt::WA_DeleteOnClose, false);
    window->setModal(false);

    auto* frame = new QFrame(window);
    frame->setFrameShape(QFrame::Box);
    auto* image = new QLabel(tr("Image:"), frame);
    m_item = new QLabel(frame);
    m_item->setObjectName(QStringLiteral("item"));
    m_item->setFixedWidth(320);
    m_stage = new QLabel(frame);
    m_stage->setObjectName(QStringLiteral("stage"));
    m_bar = new QProgressBar(frame);
    m_bar->setObjectName(QStringLiteral("bar"));
    m_bar->setRange(0, app::ProgressModel::kBarMax);
    m_bar->setValue(0);
    m_bar->setTextVisible(false);
    auto* hint = new QLabel(tr("Press ESC key to stop"), frame);
    hint->setAlignment(Qt::AlignCenter);

    auto* grid = new QGridLayout(frame);
    grid->addWidget(image, 0, 0);
    grid->addWidget(m_item, 0, 1);
    grid->addWidget(m_stage, 1, 0, 1, 2);
    grid->addWidget(m_bar, 2, 0, 1, 2);
    grid->addWidget(hint, 3, 0, 1, 2);
    auto* outer = new QVBoxLayout(window);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(frame);

    m_window = window;
    m_path.clear();
    m_escape = false;
    window->adjustSize();
    if (parent != nullptr) {
        const QRect area = parent->window()->geometry();
        window->move(area.center() - QPoint(window->width() / 2, window->height() / 2));
    }
    window->show();
    window->repaint();

    qApp->installEventFilter(this);
    m_filterInstalled = true;
}

void ProgressDialog::showItem() {
    if (m_item == nullptr) return;
    const QFontMetrics metrics(m_item->font());
    const std::string compact =
        app::compactPath(m_path.toStdString(), m_item->width(), [&metrics](std::string_view text) {
            return metrics.horizontalAdvance(
                QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
        });
    m_item->setText(QString::fromStdString(compact));
    m_item->repaint();
}

void ProgressDialog::SetItem(const QString& path, int index, int count) {
    m_model.setItem(index, count);
    m_path = path;
    showItem();
}

void ProgressDialog::SetStage(const QString& text, int count, int index) {
    m_model.setStage(count, index);
    if (m_stage == nullptr) return;
    m_stage->setText(text);
    m_stage->repaint();
}

bool ProgressDialog::Step(qint64 total, qint64 done, bool checkEscape) {
    const auto position = m_model.step(total, done);
    if (!position) return false;
    if (m_bar != nullptr) {
        m_bar->setValue(*position);
        m_bar->repaint();
    }
    if (!checkEscape) {
        // Paint, but leave the user's input queued for later.
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        return false;
    }
    // Deliver what is queued; the filter swallows input meanwhile and notes ESC.
    m_polling = true;
    m_escape = false;
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    m_polling = false;
    const bool stop = m_escape;
    m_escape = false;
    return stop;
}

void ProgressDialog::Close() {
    if (m_filterInstalled) {
        qApp->removeEventFilter(this);
        m_filterInstalled = false;
    }
    m_item = nullptr;
    m_stage = nullptr;
    m_bar = nullptr;
    if (m_window) {
        m_window->hide();
        delete m_window.data();
    }
}

int ProgressDialog::barValue() const { return m_bar != nullptr ? m_bar->value() : 0; }
QString ProgressDialog::itemText() const { return m_item != nullptr ? m_item->text() : QString(); }
QString ProgressDialog::stageText() const {
    return m_stage != nullptr ? m_stage->text() : QString();
}

bool holdForJob(QEvent* event, bool& escape) {
    switch (event->type()) {
        case QEvent::KeyPress:
            if (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) escape = true;
            return true;
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Shortcut:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::Wheel:
            return true;
        case QEvent::Close:
            event->ignore();
            return true;
        default:
            return false;
    }
}

bool ProgressDialog::eventFilter(QObject* watched, QEvent* event) {
    if (m_polling && holdForJob(event, m_escape)) return true;
    return QObject::eventFilter(watched, event);
}

}  // namespace kalder::gui
