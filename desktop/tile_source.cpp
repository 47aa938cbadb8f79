#include "desktop/tile_source.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QStringList>
#include <QUrl>

#include <algorithm>
#include <iterator>

namespace ferolin {

namespace {

const QString kPlaceholders[3] = {QStringLiteral("{z}"), QStringLiteral("{x}"), QStringLiteral("{y}")};

// A URL with its placeholders filled in, for QUrl to read its parts.
QUrl Filled(QString text) {
    for (const QString& p : kPlaceholders) text.replace(p, QStringLiteral("0"));
    return QUrl(text);
}

}  // namespace

TileSource::TileSource() : text_(DefaultText()), template_(DefaultText()), attribution_(DefaultAttribution()) {}

const QString& TileSource::DefaultText() {
    static const QString source = QStringLiteral("https://tile.openstreetmap.org/{z}/{x}/{y}.png");
    return source;
}

const QString& TileSource::DefaultAttribution() {
    static const QString text = QStringLiteral("(c) OpenStreetMap contributors");
    return text;
}

std::optional<TileSource> TileSource::Parse(const QString& given, QString* why, Folder folder) {
    auto refuse = [why](const QString& reason) -> std::optional<TileSource> {
        if (why) *why = reason;
        return std::nullopt;
    };
    const QString text = given.trimmed();
    if (text.isEmpty() || text == DefaultText()) return TileSource();

    // The scheme first: without one the text is no address at all.
    static const QRegularExpression schemeForm(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]*$"));
    const qsizetype separator = text.indexOf(QLatin1String("://"));
    const QString scheme = separator > 0 ? text.left(separator).toLower() : QString();
    if (!schemeForm.match(scheme).hasMatch())
        return refuse(QStringLiteral("A tile source needs {z}, {x} and {y}, or a file:// folder"));
    const bool file = scheme == QLatin1String("file");
    if (!file && scheme != QLatin1String("http") && scheme != QLatin1String("https"))
        return refuse(QStringLiteral("A tile source is an http, https or file:// address, not %1://").arg(scheme));

    // Only {z}, {x} and {y} are filled in; another name in braces (a server
    // letter {s}, a key) would reach the server as it is.
    static const QRegularExpression placeholder(QStringLiteral("\\{([^{}]*)\\}"));
    bool has[3] = {};
    for (auto match = placeholder.globalMatch(text); match.hasNext();) {
        const QString whole = match.next().captured(0);
        const auto known = std::find(std::begin(kPlaceholders), std::end(kPlaceholders), whole);
        if (known == std::end(kPlaceholders))
            return refuse(QStringLiteral("%1 is not known: only {z}, {x} and {y} are filled in").arg(whole));
        has[known - std::begin(kPlaceholders)] = true;
    }
    QStringList missing;
    for (int k = 0; k < 3; ++k)
        if (!has[k]) missing << kPlaceholders[k];

    TileSource source;
    source.text_ = text;
    source.template_ = text;
    if (!file) {
        if (!missing.isEmpty())
            return refuse(QStringLiteral("A web tile source needs {z}, {x} and {y}: %1 %2 missing")
                              .arg(missing.join(QStringLiteral(" and ")),
                                   missing.size() == 1 ? QStringLiteral("is") : QStringLiteral("are")));
        const QUrl url = Filled(text);
        if (!url.isValid() || url.host().isEmpty())
            return refuse(QStringLiteral("A web tile source needs a host name"));
        source.attribution_ = QStringLiteral("Tiles: ") + url.host();
        return source;
    }

    if (missing.size() == 1 || missing.size() == 2)
        return refuse(QStringLiteral("A file source needs {z}, {x} and {y}, or none for a folder of z/x/y.png"));
    // The folder: the whole path, or the part before the first placeholder
    // up to its last slash.
    QString folderUrl = text;
    if (missing.isEmpty()) {
        folderUrl = text.left(text.indexOf('{'));
        folderUrl.truncate(folderUrl.lastIndexOf('/') + 1);
    } else {
        while (source.template_.endsWith('/')) source.template_.chop(1);
        source.template_ += QStringLiteral("/{z}/{x}/{y}.png");
    }
    const QUrl url(folderUrl);
    const QString host = url.host();
    if (!url.isValid() || !url.isLocalFile() ||
        !(host.isEmpty() || host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0))
        return refuse(QStringLiteral("A file:// source needs a whole path, as file:///home/me/tiles"));
    QString path = url.toLocalFile();
    while (path.size() > 1 && path.endsWith('/')) path.chop(1);
    if (folder == Folder::MustExist && !QFileInfo(path).isDir())
        return refuse(QStringLiteral("No folder at %1").arg(path));
    source.attribution_ = QStringLiteral("Tiles: ") + QFileInfo(path).fileName();
    return source;
}

QString TileSource::UrlOf(const TileKey& key) const {
    QString url = template_;
    url.replace(kPlaceholders[0], QString::number(key.z));
    url.replace(kPlaceholders[1], QString::number(key.x));
    url.replace(kPlaceholders[2], QString::number(key.y));
    return url;
}

}  // namespace ferolin
