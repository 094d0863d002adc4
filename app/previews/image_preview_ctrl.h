#pragma once

#include <QListWidget>
#include <QString>

#include <cstdint>
#include <span>

// The image viewer's one control: a list whose single item is the decoded picture, drawn at
// its own size in a white cell with a grey frame, labelled with the file name. The keyboard
// does nothing in it. The picture bytes belong to the caller and must outlive OnCreate.
class CImagePreviewCtrl : public QListWidget {
    Q_OBJECT
public:
    CImagePreviewCtrl(QWidget* parent, std::span<const uint8_t> picture, QString fileName);

    // The decoder type a file name asks for: by its last characters, without regard to case.
    static uint32_t GetImageType(const QString& fileName);

    // Decodes the picture and fills the list; a picture no decoder accepts leaves it empty.
    // 0, or -1 when the control could not be made.
    int OnCreate();
    // Whether OnCreate decoded the picture (the list then holds it).
    bool HasPicture() const { return m_decoded; }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    std::span<const uint8_t> m_picture;
    QString m_fileName;
    bool m_decoded = false;
};
