// The tests' virtual cameras (the GStreamer plugin built from tests/vcam):
// cameras that GStreamer lists and opens like USB cameras, described by
// lines of a camera file (see tavlinvcam.c for the keys).
#pragma once

#include "GstVcx.h"
#include <QByteArray>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

class VirtualCameras {
public:
    // Points GStreamer at the plugin and at a camera file and registry of this
    // process's own, and hides the machine's real cameras. Call before the
    // application object exists.
    static void prepare() {
        static QTemporaryDir dir;
        qputenv("GST_PLUGIN_PATH", TAVLIN_VCAM_PLUGIN_DIR);
        qputenv("GST_REGISTRY", QFile::encodeName(dir.filePath(QStringLiteral("registry.bin"))));
        qputenv("GST_PLUGIN_FEATURE_RANK",
                "v4l2deviceprovider:NONE,pipewiredeviceprovider:NONE,libcameraprovider:NONE");
        filePath() = dir.filePath(QStringLiteral("cameras.txt"));
        qputenv("TAVLIN_VCAM_FILE", QFile::encodeName(filePath()));
        write({});
    }

    // Plugs in a new set of cameras in place of all before, and waits until a
    // camera window would list exactly them. Each line describes one camera.
    // names: what the list shows when it is not the names of the lines.
    static bool set(const QStringList& cameras, const QStringList& names = {}) {
        // All unplugged first: the new cameras may carry the old ones' names.
        if (!change({})) {
            return false;
        }
        ++scene();
        return change(cameras, names);
    }

    // Changes the cameras of the current set: a line whose id is gone is an
    // unplugged camera, a new id a camera plugged in. Waits until they are listed.
    static bool change(const QStringList& cameras, QStringList expected = {}) {
        QStringList lines;
        QStringList names;
        for (int i = 0; i < cameras.size(); ++i) {
            QString line = cameras.at(i);
            const QRegularExpressionMatch id =
                QRegularExpression(QStringLiteral("(?:^|;)id=([^;]*)")).match(line);
            const QString own = id.hasMatch() ? id.captured(1) : QString::number(i);
            line.remove(QRegularExpression(QStringLiteral("(?:^|;)id=[^;]*")));
            lines.append(QStringLiteral("id=%1-%2;%3").arg(scene()).arg(own, line));
            const QRegularExpressionMatch name =
                QRegularExpression(QStringLiteral("(?:^|;)name=([^;]*)")).match(line);
            names.append(name.hasMatch() ? name.captured(1) : QStringLiteral("Virtual Camera"));
        }
        write(lines);
        if (!expected.isEmpty()) {
            names = expected;
        }
        if (!QTest::qWaitFor([&names] { return listed() == names; }, 15000)) {
            qWarning() << "cameras listed" << listed() << "instead of" << names;
            return false;
        }
        return true;
    }

    // The names a camera window made now would list.
    static QStringList listed() {
        GstVcx vcx;
        QStringList names;
        for (int i = 0; i < vcx.CountVideoDevices(); ++i) {
            names.append(vcx.VideoDeviceNameAt(i));
        }
        return names;
    }

private:
    static QString& filePath() {
        static QString path;
        return path;
    }
    static int& scene() {
        static int number = 0;
        return number;
    }
    // Replaces the file in one step, so the plugin never reads half of it.
    static void write(const QStringList& lines) {
        const QString part = filePath() + QStringLiteral(".part");
        QFile file(part);
        if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            file.write(lines.join(QLatin1Char('\n')).toUtf8() + '\n');
            file.close();
            std::rename(QFile::encodeName(part).constData(),
                        QFile::encodeName(filePath()).constData());
        }
    }
};
