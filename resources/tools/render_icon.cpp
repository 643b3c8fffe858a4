// Renders the scalable application icon to the PNG sizes of the hicolor theme at build time:
//   zl_render_icon <in.svg> <out.png> <size>
#include <QCoreApplication>
#include <QImage>
#include <QImageReader>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 4)
        return 2;
    QImageReader reader(QString::fromLocal8Bit(argv[1]));
    const int size = QByteArray(argv[3]).toInt();
    reader.setScaledSize(QSize(size, size));
    const QImage image = reader.read();
    if (image.isNull() || !image.save(QString::fromLocal8Bit(argv[2]), "PNG")) {
        std::fprintf(stderr, "cannot render %s: %s\n", argv[1], qPrintable(reader.errorString()));
        return 1;
    }
    return 0;
}
