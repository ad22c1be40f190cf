#include "app/skin.h"

namespace vek::app {

void BuildSkinRegions(Skin* s) {
    for (int i = 0; i < kPushControlCount; ++i) {
        const ControlPlace& place = kControls[i];
        ControlLook& look = s->controls[i];
        look.region = QRegion(ToQRect(place.area)).united(QRegion(ToQRect(place.more_area)));
        look.bitmap = place.bitmap;
        look.drawn_at = ToQPoint(place.drawn_at);
        look.drawn_at_pressed = ToQPoint(place.drawn_at_pressed);
        look.size = QSize(place.size.x, place.size.y);
        look.normal = ToQPoint(place.normal);
        look.pressed = ToQPoint(place.pressed);
        look.on_normal = ToQPoint(place.on_normal);
        look.on_pressed = ToQPoint(place.on_pressed);
        look.clip_to_region = place.clip_to_area;
    }
    s->title_strip = QRegion(ToQRect(kTitleStrip));
    s->lamp = QRegion(ToQRect(kLamp));
    s->ring = QRegion(ToQRect(kRingBox), QRegion::Ellipse);
    for (int i = 0; i < kRingSectors; ++i) s->sectors[i] = RingSector(i);
    s->volume_column = QRegion(ToQRect(kVolumeColumn));
    for (int k = 0; k < kVolumeCells; ++k) s->volume_cells[k] = ToQRect(VolumeCell(k));
    s->equaliser = QRegion(ToQRect(kEqualiser));
    for (int c = 0; c < kEqBands; ++c) {
        for (int r = 0; r < kEqualiserRows; ++r)
            s->equaliser_cells[c][r] = ToQRect(EqualiserCell(c, r));
    }
}

bool LoadSkinBitmaps(Skin* s) {
    return s->face.load(":/skin/bitmap_102.png") && s->frame.load(":/skin/bitmap_108.png") &&
           s->transport.load(":/skin/bitmap_121.png") && s->strips.load(":/skin/bitmap_128.png");
}

QImage LoadSkinImage(const char* name) {
    QImage image(QStringLiteral(":/skin/") + QString::fromLatin1(name));
    if (image.isNull()) return image;
    return image.convertToFormat(QImage::Format_RGB32);
}

int SectorAt(const Skin& skin, QPoint point) {
    for (int i = 0; i < kRingSectors; ++i) {
        if (skin.sectors[i].contains(point)) return i;
    }
    return -1;
}

int VolumeCellAt(const Skin& skin, QPoint point) {
    for (int k = 0; k < kVolumeCells; ++k) {
        if (skin.volume_cells[k].contains(point)) return k;
    }
    return -1;
}

int EqualiserRowAt(const Skin& skin, int band, QPoint point) {
    for (int r = 0; r < kEqualiserRows; ++r) {
        if (skin.equaliser_cells[band][r].contains(point)) return r;
    }
    return -1;
}

int EqualiserRowOfGain(float gain) {
    // Gains outside 0..2 come only from a hand-edited file; show them at the
    // nearest end of the column.
    int row = static_cast<int>(7.0f * gain);
    return row < 0 ? 0 : row >= kEqualiserRows ? kEqualiserRows - 1 : row;
}

}  // namespace vek::app
