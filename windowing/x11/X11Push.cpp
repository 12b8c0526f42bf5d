#include "windowing/x11/X11Connection.h"

#include "windowing/backend/FrameCopy.h"

#include <X11/Xutil.h>
#include <X11/extensions/shape.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <unistd.h>

namespace tonvane::x11 {

bool X11Connection::push(WindowId id, const Frame& frame)
{
    std::lock_guard<std::mutex> hold(m_mutex);
    X11Window* window = find(id);
    if (window == nullptr || frame.width <= 0 || frame.height <= 0)
        return false;
    // A partial push needs the previous picture in the image: a new image takes the whole one.
    Frame part = frame;
    if (window->push.image == nullptr || window->push.width != frame.width || window->push.height != frame.height)
        part.changed = {};
    if (!ensureImage(*window, frame.width, frame.height))
        return false;
    XImage* image = window->push.image;
    auto* out = reinterpret_cast<uint32_t*>(image->data);
    if (!copyFrame(part, out, static_cast<size_t>(image->bytes_per_line / 4)))
        return false;
    place(*window, {frame.at.x, frame.at.y, frame.width, frame.height});
    shape(*window, frame.flattenOver != 0 ? frame.cornerRadius : -1);
    putImage(*window, pushedPart(part));
    return true;
}

// Without a compositor the corners of the opaque picture are cut away with the Shape
// extension; radius < 0 restores the full rectangle.
void X11Connection::shape(X11Window& window, int32_t radius)
{
    if (!m_shapeAvailable)
        return;
    ScreenRect size{0, 0, window.rect.width, window.rect.height};
    if (radius == window.shapedRadius && (radius < 0 || size == window.shapedSize))
        return;
    window.shapedRadius = radius;
    window.shapedSize = size;
    if (radius <= 0) {
        XShapeCombineMask(m_display, window.window, ShapeBounding, 0, 0, None, ShapeSet);
        return;
    }
    std::vector<XRectangle> rows;
    int32_t r = std::min(radius, std::min(size.width, size.height) / 2);
    for (int32_t i = 0; i < r; ++i) {
        double dy = r - i - 0.5;
        auto inset = static_cast<int32_t>(std::ceil(r - std::sqrt(static_cast<double>(r) * r - dy * dy)));
        auto width = static_cast<unsigned short>(std::max(0, size.width - 2 * inset));
        rows.push_back({static_cast<short>(inset), static_cast<short>(i), width, 1});
        rows.push_back({static_cast<short>(inset), static_cast<short>(size.height - 1 - i), width, 1});
    }
    rows.push_back({0, static_cast<short>(r), static_cast<unsigned short>(size.width),
                    static_cast<unsigned short>(std::max(0, size.height - 2 * r))});
    XShapeCombineRectangles(m_display, window.window, ShapeBounding, 0, 0, rows.data(), static_cast<int>(rows.size()),
                            ShapeSet, Unsorted);
}

void X11Connection::releaseImage(PushImage& push)
{
    if (push.image == nullptr)
        return;
    if (push.shared) {
        XShmDetach(m_display, &push.shm);
        XSync(m_display, False);
        shmdt(push.shm.shmaddr);
        push.image->data = nullptr;
    }
    XDestroyImage(push.image); // frees our own memory for a non-shared image
    push = {};
}

// Only our side of the image: for a connection that is gone.
void X11Connection::releaseImageLocally(PushImage& push)
{
    if (push.image == nullptr)
        return;
    if (push.shared) {
        shmdt(push.shm.shmaddr);
        push.image->data = nullptr;
    }
    XDestroyImage(push.image);
    push = {};
}

bool X11Connection::ensureImage(X11Window& window, int32_t width, int32_t height)
{
    PushImage& push = window.push;
    if (push.image != nullptr && push.width == width && push.height == height)
        return true;
    releaseImage(push);
    if (m_shmAvailable && createSharedImage(push, width, height))
        return true;
    // XPutImage: the bytes travel through the connection.
    size_t bytes = static_cast<size_t>(width) * static_cast<size_t>(height) * 4;
    auto* data = static_cast<char*>(std::malloc(bytes));
    if (data == nullptr)
        return false;
    push.image = XCreateImage(m_display, m_visual, 32, ZPixmap, 0, data, static_cast<unsigned>(width),
                              static_cast<unsigned>(height), 32, 0);
    if (push.image == nullptr) {
        std::free(data);
        return false;
    }
    push.width = width;
    push.height = height;
    return true;
}

bool X11Connection::createSharedImage(PushImage& push, int32_t width, int32_t height)
{
    XImage* image = XShmCreateImage(m_display, m_visual, 32, ZPixmap, nullptr, &push.shm,
                                    static_cast<unsigned>(width), static_cast<unsigned>(height));
    if (image == nullptr)
        return false;
    size_t bytes = static_cast<size_t>(image->bytes_per_line) * static_cast<size_t>(height);
    push.shm.shmid = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
    if (push.shm.shmid < 0) {
        XDestroyImage(image);
        return false;
    }
    push.shm.shmaddr = static_cast<char*>(shmat(push.shm.shmid, nullptr, 0));
    if (push.shm.shmaddr == reinterpret_cast<char*>(-1)) {
        shmctl(push.shm.shmid, IPC_RMID, nullptr);
        XDestroyImage(image);
        return false;
    }
    image->data = push.shm.shmaddr;
    push.shm.readOnly = False;
    g_lastError.store(0);
    XShmAttach(m_display, &push.shm);
    XSync(m_display, False);
    shmctl(push.shm.shmid, IPC_RMID, nullptr); // freed once both sides detach
    if (g_lastError.load() != 0) {
        // A remote display (or a server without access to our segment) refuses it.
        m_shmAvailable = false;
        shmdt(push.shm.shmaddr);
        image->data = nullptr;
        XDestroyImage(image);
        return false;
    }
    push.image = image;
    push.shared = true;
    push.width = width;
    push.height = height;
    return true;
}

void X11Connection::putImage(X11Window& window)
{
    putImage(window, {0, 0, window.push.width, window.push.height});
}

void X11Connection::putImage(X11Window& window, const ScreenRect& part)
{
    PushImage& push = window.push;
    if (push.image == nullptr || part.empty())
        return;
    auto width = static_cast<unsigned>(part.width), height = static_cast<unsigned>(part.height);
    if (push.shared)
        XShmPutImage(m_display, window.window, window.gc, push.image, part.x, part.y, part.x, part.y, width, height,
                     False);
    else
        XPutImage(m_display, window.window, window.gc, push.image, part.x, part.y, part.x, part.y, width, height);
    // The segment is written again by the next push: wait until the server has read it.
    XSync(m_display, False);
    wakeForQueuedEvents();
}

void X11Connection::wakeForQueuedEvents()
{
    if (m_lost || XEventsQueued(m_display, QueuedAlready) == 0)
        return;
    uint64_t one = 1;
    if (write(m_wakeFd, &one, sizeof one) < 0) {
        // Saturated: the loop is awake anyway.
    }
}

} // namespace tonvane::x11
