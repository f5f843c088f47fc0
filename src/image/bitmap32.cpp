#include "image/bitmap32.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace kalder::image {

void PixelRect::unite(const PixelRect& other) {
    if (other.isEmpty()) return;
    if (isEmpty()) {
        *this = other;
        return;
    }
    left = std::min(left, other.left);
    top = std::min(top, other.top);
    right = std::max(right, other.right);
    bottom = std::max(bottom, other.bottom);
}

void Bitmap32::FreeDeleter::operator()(std::uint8_t* p) const { std::free(p); }

Bitmap32::~Bitmap32() = default;

bool Bitmap32::Create(std::int32_t width, std::int32_t height) {
    Release();
    if (width <= 0 || height <= 0) return false;
    std::size_t bytes = 0;
    if (__builtin_mul_overflow(static_cast<std::size_t>(width) * 4,
                               static_cast<std::size_t>(height), &bytes))
        return false;
    // calloc hands large blocks over as fresh zero pages, so clearing costs nothing up front.
    auto* p = static_cast<std::uint8_t*>(std::calloc(bytes, 1));
    if (!p) return false;
    std::lock_guard lock(m_pixelLock);
    m_pixels.reset(p);
    m_width = width;
    m_height = height;
    return true;
}

void Bitmap32::Release() {
    {
        std::lock_guard lock(m_pixelLock);
        if (!m_pixels) return;
        m_pixels.reset();
        m_width = m_height = 0;
    }
    std::lock_guard lock(m_dirtyLock);
    m_dirtyRect = {};
}

bool Bitmap32::CopyTo(Bitmap32& other) const {
    if (&other == this) return !isEmpty();
    other.Release();
    if (isEmpty()) return false;
    if (!other.Create(m_width, m_height)) return false;
    std::lock_guard src(m_pixelLock);
    std::lock_guard dst(other.m_pixelLock);
    std::memcpy(other.m_pixels.get(), m_pixels.get(), byteSize());
    return true;
}

void Bitmap32::MarkRowDone(std::int32_t y) {
    std::lock_guard lock(m_dirtyLock);
    m_dirtyRect.unite({0, y, m_width, y + 1});
}

void Bitmap32::MarkColumnDone(std::int32_t x) {
    std::lock_guard lock(m_dirtyLock);
    m_dirtyRect.unite({x, 0, x + 1, m_height});
}

void Bitmap32::markAllDone() {
    std::lock_guard lock(m_dirtyLock);
    m_dirtyRect.unite({0, 0, m_width, m_height});
}

PixelRect Bitmap32::takeDirtyRect() {
    std::lock_guard lock(m_dirtyLock);
    PixelRect r = m_dirtyRect;
    m_dirtyRect = {};
    return r;
}

PixelRect Bitmap32::dirtyRect() const {
    std::lock_guard lock(m_dirtyLock);
    return m_dirtyRect;
}

}  // namespace kalder::image
