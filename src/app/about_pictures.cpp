#include "app/about_pictures.h"

#include <QLinearGradient>
#include <QPainter>

namespace {

void DrawComputer(QPainter& p, int x, int y) {
  p.setPen(QColor(60, 60, 60));
  p.setBrush(QColor(200, 200, 195));
  p.drawRect(x, y, 30, 22);
  p.setBrush(QColor(30, 90, 160));
  p.drawRect(x + 3, y + 3, 24, 16);
  p.setBrush(QColor(200, 200, 195));
  p.drawRect(x + 10, y + 22, 10, 3);
  p.drawRect(x + 4, y + 25, 22, 4);
}

void DrawSerialDevice(QPainter& p, int x, int y, const QColor& face) {
  p.setPen(QColor(60, 60, 60));
  p.setBrush(face);
  p.drawRoundedRect(x, y, 26, 16, 3, 3);
  p.setBrush(QColor(40, 200, 60));
  p.drawEllipse(x + 19, y + 5, 4, 4);
}

}  // namespace

QPixmap ProductPicture() {
  QPixmap picture(104, 177);
  picture.fill(Qt::transparent);
  QPainter p(&picture);
  p.setRenderHint(QPainter::Antialiasing);
  // Network line between the computers and the device server.
  p.setPen(QPen(QColor(0, 70, 140), 2));
  p.drawLine(52, 40, 52, 80);
  p.drawLine(20, 40, 84, 40);
  DrawComputer(p, 5, 8);
  DrawComputer(p, 69, 8);
  // The device server.
  p.setPen(QColor(20, 20, 60));
  p.setBrush(QColor(20, 40, 110));
  p.drawRoundedRect(22, 80, 60, 24, 4, 4);
  p.setPen(Qt::white);
  QFont font("Arial");
  font.setPixelSize(10);
  font.setBold(true);
  p.setFont(font);
  p.drawText(QRect(22, 80, 60, 24), Qt::AlignCenter, "VEQ");
  // Serial lines to the devices.
  p.setPen(QPen(QColor(120, 120, 120), 1, Qt::DashLine));
  p.drawLine(36, 104, 18, 126);
  p.drawLine(68, 104, 86, 126);
  DrawSerialDevice(p, 5, 126, QColor(230, 200, 90));
  DrawSerialDevice(p, 73, 126, QColor(150, 200, 230));
  // The product name.
  p.setPen(QColor(0, 40, 100));
  font.setPixelSize(11);
  p.setFont(font);
  p.drawText(QRect(0, 150, 104, 27), Qt::AlignCenter | Qt::TextWordWrap, "COMPort Mapping");
  return picture;
}

QPixmap LogoPicture() {
  QPixmap logo(190, 44);
  logo.fill(Qt::transparent);
  QPainter p(&logo);
  p.setRenderHint(QPainter::Antialiasing);
  QLinearGradient ground(0, 0, 0, 44);
  ground.setColorAt(0, QColor(10, 30, 100));
  ground.setColorAt(1, QColor(0, 15, 60));
  p.setPen(Qt::NoPen);
  p.setBrush(ground);
  p.drawRoundedRect(0, 0, 190, 44, 6, 6);
  QFont font("Arial");
  font.setPixelSize(26);
  font.setBold(true);
  font.setItalic(true);
  p.setFont(font);
  p.setPen(QColor(240, 240, 255));
  p.drawText(QRect(0, 0, 190, 44), Qt::AlignCenter, "VEQ");
  return logo;
}
