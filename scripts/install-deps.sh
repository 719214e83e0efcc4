#!/usr/bin/env bash
# Installs the Debian 12 packages Vellumo needs to build, run and test.
# Idempotent: asks apt only when something is missing.
set -euo pipefail

packages=(
  # build
  build-essential cmake ninja-build pkg-config git ccache clang-format
  # Qt 6 Widgets and UiTools (its CMake config wants the OpenGL dev files too)
  qt6-base-dev qt6-tools-dev libqt6opengl6-dev libgl-dev qt6-qpa-plugins
  # GStreamer
  libgstreamer1.0-dev libgstreamer-plugins-base1.0-dev
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-plugins-bad gstreamer1.0-libav
  gstreamer1.0-alsa gstreamer1.0-pulseaudio
  # image and document libraries
  libjpeg62-turbo-dev libtiff-dev libopencv-imgproc-dev libtesseract-dev libleptonica-dev tesseract-ocr-eng tesseract-ocr-osd zlib1g-dev
  # the card program: telephone numbers found and written by libphonenumber
  libphonenumber-dev
  # the virtual camera: its printed text in a real font
  libfreetype-dev fonts-dejavu-core
  # devices
  libudev-dev
  # tests and their independent validators
  libgtest-dev libgmock-dev qpdf poppler-utils libtiff-tools ffmpeg imagemagick libjpeg-turbo-progs img2pdf
  unrtf python3 python3-xlrd catdoc tesseract-ocr
  # the package and its check: dpkg-shlibdeps, the menu entry's and AppStream data's validators, lintian
  dpkg-dev fakeroot desktop-file-utils appstream lintian
  # the kernel test guest (scripts/test-kernel.sh): the emulator, its initramfs shell, v4l2-ctl
  qemu-system-x86 busybox-static v4l-utils
  # running the program: the desktop's opener (help, folders, documents); headless runs
  xdg-utils xvfb xauth
)

# Recognition data for every language the OCR and card-program language dialogs offer (English is
# always there); apt names any Debian does not have.
packages+=(
  tesseract-ocr-deu tesseract-ocr-fra tesseract-ocr-spa tesseract-ocr-ita tesseract-ocr-nld tesseract-ocr-por
  tesseract-ocr-rus tesseract-ocr-pol tesseract-ocr-ces tesseract-ocr-dan tesseract-ocr-swe tesseract-ocr-nor
  tesseract-ocr-fin tesseract-ocr-hun tesseract-ocr-slk tesseract-ocr-ell tesseract-ocr-tur tesseract-ocr-jpn
  tesseract-ocr-chi-sim tesseract-ocr-chi-tra
  # the fonts the synthetic cards of the card development set are drawn in (scripts/make-card-set.py)
  fonts-liberation2 fonts-urw-base35 fonts-freefont-ttf
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: everything is installed"
  exit 0
fi

echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  # sudo resets the environment, so the non-interactive front end is handed over explicitly.
  sudo_cmd=(sudo env DEBIAN_FRONTEND=noninteractive)
fi
"${sudo_cmd[@]}" apt-get update -q
"${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
