#include "view/thumbnail_head_start.h"

#include <vector>

#include "view/folder_images.h"

namespace kalder::view {

ThumbnailHeadStart::ThumbnailHeadStart(Plan plan, std::shared_ptr<DocumentSource> source)
    : m_plan(std::move(plan)),
      m_source(std::move(source)),
      m_tasks(base::ThreadPool::shared(), base::ThreadPool::Priority::Background, m_plan.workers) {
    if (m_plan.options.cache && m_plan.workers > 0) m_tasks.post([this] { list(); });
}

ThumbnailHeadStart::~ThumbnailHeadStart() { stop(); }

void ThumbnailHeadStart::list() {
    if (m_stopped) return;
    // The browser's own listing: the same filter, descriptions and order.
    FolderImages images(m_source, 1);
    images.setFilter(m_plan.filter, m_plan.customFilter);
    images.setSortKey(m_plan.sortKey);
    images.setSortOrder(m_plan.sortOrder);
    if (!images.loadFolder(m_plan.folder) || m_stopped) return;
    // One file per task, so that a display decode waiting in the pool comes first. A file posted
    // after a stop() ends at once.
    for (std::size_t i = 0; i < images.size() && i < m_plan.files; ++i)
        m_tasks.post([this, file = images.at(i)->path()] { makeOne(file); });
}

void ThumbnailHeadStart::makeOne(const std::filesystem::path& file) {
    if (m_stopped) return;
    if (m_source->fillCache(file, m_plan.box, m_plan.options, nullptr)) ++m_made;
}

void ThumbnailHeadStart::stop() {
    m_stopped = true;
    m_tasks.discardQueued();
}

void ThumbnailHeadStart::wait() { m_tasks.wait(); }

std::size_t ThumbnailHeadStart::made() const { return m_made; }

}  // namespace kalder::view
