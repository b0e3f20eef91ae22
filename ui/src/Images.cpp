#include <quillmere/Bridge.h>

// The resource file is compiled into this static library; its registration
// must be called by name or the linker may drop it. Q_INIT_RESOURCE works
// only outside any namespace.
static void registerImages() {
    Q_INIT_RESOURCE(quillmere);
}

namespace Quillmere {

namespace {
QIcon load(const char* name) {
    static const bool registered = (registerImages(), true);
    (void)registered;
    // Both sizes go in: the 32 x 32 drawing serves screens scaled to 200%.
    const QString base = QStringLiteral(":/images/") + QLatin1String(name);
    QIcon icon;
    icon.addFile(base + QStringLiteral(".png"), QSize(16, 16));
    icon.addFile(base + QStringLiteral("@2x.png"), QSize(32, 32));
    return icon;
}
}  // namespace

const QList<QIcon>& listImages() {
    static const QList<QIcon> images = {
        load("help16"),      load("workstation16"),    load("mobile_phone16"),
        load("network16b"),  load("video_camera16"),   load("mouse16"),
        load("print16"),     load("sort_ascending16"), load("sort_descending16"),
        load("generator16"),
    };
    return images;
}

QIcon windowIcon() {
    return load("quillmere16");
}

QIcon refreshImage() {
    return load("refresh16");
}

QIcon aboutImage() {
    return load("about16");
}

}  // namespace Quillmere
