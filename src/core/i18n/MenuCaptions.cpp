#include "core/i18n/MenuCaptions.h"

#include "core/i18n/Messages.h"
#include "core/i18n/UiTexts.h"

namespace tolvek {

namespace {

// The translatable captions of one language; the menus' structure is shared by all languages.
struct MenuTexts
{
    // MainMenu
    const char16_t* headPositionManual;
    const char16_t* headPositionSerial;
    const char16_t* headPositionPhone;
    const char16_t* gyroDirection;
    const char16_t* cameraDevice;
    const char16_t* addCurrentToReference;
    const char16_t* listAll;
    const char16_t* showToolTips;
    const char16_t* mainHelp;
    const char16_t* selectLanguage;
    // FolderMenu
    const char16_t* backup;
    const char16_t* setBackupFolder;
    const char16_t* changeSaveFolder;
    const char16_t* topPage;
    const char16_t* folderHelp;
    // AllListPopupMenu and VideoPopupMenu
    const char16_t* editVideoTags;
    const char16_t* saveAsFile;
    const char16_t* deleteFile;
    const char16_t* trimToRange;
    const char16_t* addToReference;
    const char16_t* changeId;
};

const MenuTexts kMenuTexts[LanguageCount] = {
    // 0 Japanese
    {u"頭位入力：手動",
     u"頭位入力：Gyro(Arduino_MPU6050)",
     u"頭位入力：Gyro(phone_WiFi)",
     u"Gyroの向き",
     u"Camera選択",
     u"表示中のビデオを参照リストへ登録",
     u"一覧表示",
     u"ToolTipの表示",
     u"HELP",
     u"言語選択",
     u"バックアップ",
     u"バックアップフォルダ設定",
     u"保存フォルダ変更",
     u"Top画面へ",
     u"Helpの表示",
     u"ビデオタグ情報編集",
     u"別名で保存",
     u"削除(&D)",
     u"範囲でトリム",
     u"参照リストへ登録",
     u"ID変更"},
    // 1 English
    {u"HeadPosition/Manual",
     u"HeadPosition/Gyro(Arduino_MPU6050)",
     u"HeadPosition/Gyro(phone_WiFi)",
     u"Gyro Direction",
     u"Camera Device",
     u"Add Current Video to Reference List",
     u"List All",
     u"Show ToolTips",
     u"HELP",
     u"Select Language",
     u"Backup",
     u"Set the BackupFolder",
     u"Change the SavingFolder",
     u"Top Page",
     u"Help",
     u"Edit Video Tags",
     u"Save as a file",
     u"Delete(&D)",
     u"Trim to Range",
     u"Add to Reference List",
     u"Change ID"},
    // 2 Portuguese
    {u"Posição da cabeça: manual",
     u"Posição da cabeça: sensor giroscópico (porta serial)",
     u"Posição da cabeça: giroscópio do celular (Wi-Fi)",
     u"Orientação do giroscópio",
     u"Seleção de câmera",
     u"Adicionar o vídeo atual à lista de referências",
     u"Listar todos",
     u"Mostrar dicas",
     u"AJUDA",
     u"Selecionar idioma",
     u"Fazer backup",
     u"Definir a pasta de backup",
     u"Alterar a pasta de armazenamento",
     u"Página inicial",
     u"Ajuda",
     u"Editar tags do vídeo",
     u"Salvar com outro nome",
     u"&Excluir",
     u"Recortar no intervalo",
     u"Adicionar à lista de referências",
     u"Alterar ID"},
    // 3 Chinese, simplified
    {u"头位输入：手动",
     u"头位输入：陀螺仪传感器（串口）",
     u"头位输入：手机陀螺仪（Wi-Fi）",
     u"陀螺仪方向",
     u"选择摄像头",
     u"将当前视频添加到参考列表",
     u"显示全部",
     u"显示工具提示",
     u"帮助",
     u"选择语言",
     u"备份",
     u"设置备份文件夹",
     u"更改保存文件夹",
     u"返回首页",
     u"显示帮助",
     u"编辑视频标签信息",
     u"另存为",
     u"删除(&D)",
     u"按范围裁剪",
     u"添加到参考列表",
     u"更改 ID"},
    // 4 Chinese, traditional
    {u"頭位輸入：手動",
     u"頭位輸入：陀螺儀感測器（序列埠）",
     u"頭位輸入：手機陀螺儀（Wi-Fi）",
     u"陀螺儀方向",
     u"選擇攝影機",
     u"將目前影片加入參考清單",
     u"顯示全部",
     u"顯示工具提示",
     u"說明",
     u"選擇語言",
     u"備份",
     u"設定備份資料夾",
     u"變更儲存資料夾",
     u"返回首頁",
     u"顯示說明",
     u"編輯影片標籤資訊",
     u"另存新檔",
     u"刪除(&D)",
     u"依範圍裁剪",
     u"加入參考清單",
     u"變更 ID"},
    // 5 Korean
    {u"머리 위치 입력: 수동",
     u"머리 위치 입력: 자이로 센서(직렬 포트)",
     u"머리 위치 입력: 휴대폰 자이로(Wi-Fi)",
     u"자이로 방향",
     u"카메라 선택",
     u"현재 동영상을 참조 목록에 추가",
     u"전체 목록",
     u"도구 설명 표시",
     u"도움말",
     u"언어 선택",
     u"백업",
     u"백업 폴더 설정",
     u"저장 폴더 변경",
     u"첫 화면으로",
     u"도움말 보기",
     u"동영상 태그 편집",
     u"다른 이름으로 저장",
     u"삭제(&D)",
     u"범위로 잘라내기",
     u"참조 목록에 추가",
     u"ID 변경"},
    // 6 French
    {u"Position de la tête : manuelle",
     u"Position de la tête : capteur gyroscopique (port série)",
     u"Position de la tête : gyroscope du téléphone (Wi-Fi)",
     u"Orientation du gyroscope",
     u"Choix de la caméra",
     u"Ajouter la vidéo affichée à la liste de référence",
     u"Tout afficher",
     u"Afficher les info-bulles",
     u"AIDE",
     u"Choisir la langue",
     u"Sauvegarder",
     u"Définir le dossier de sauvegarde",
     u"Changer le dossier d'enregistrement",
     u"Page d'accueil",
     u"Aide",
     u"Modifier les balises de la vidéo",
     u"Enregistrer sous un autre nom",
     u"&Supprimer",
     u"Découper selon la plage",
     u"Ajouter à la liste de référence",
     u"Changer l'ID"},
    // 7 Spanish
    {u"Posición de la cabeza: manual",
     u"Posición de la cabeza: sensor giroscópico (puerto serie)",
     u"Posición de la cabeza: giroscopio del teléfono (Wi-Fi)",
     u"Orientación del giroscopio",
     u"Seleccionar cámara",
     u"Añadir el vídeo actual a la lista de referencia",
     u"Mostrar todo",
     u"Mostrar información sobre herramientas",
     u"AYUDA",
     u"Seleccionar idioma",
     u"Copia de seguridad",
     u"Establecer la carpeta de copia de seguridad",
     u"Cambiar la carpeta de guardado",
     u"Página inicial",
     u"Ayuda",
     u"Editar etiquetas del vídeo",
     u"Guardar con otro nombre",
     u"&Eliminar",
     u"Recortar al intervalo",
     u"Añadir a la lista de referencia",
     u"Cambiar ID"},
    // 8 Hindi
    {u"सिर की स्थिति: मैनुअल",
     u"सिर की स्थिति: जाइरो सेंसर (सीरियल पोर्ट)",
     u"सिर की स्थिति: फ़ोन जाइरो (Wi-Fi)",
     u"जाइरो दिशा",
     u"कैमरा चुनें",
     u"वर्तमान वीडियो को संदर्भ सूची में जोड़ें",
     u"सभी दिखाएँ",
     u"टूलटिप दिखाएँ",
     u"सहायता",
     u"भाषा चुनें",
     u"बैकअप लें",
     u"बैकअप फ़ोल्डर सेट करें",
     u"सहेजने का फ़ोल्डर बदलें",
     u"मुख्य पृष्ठ",
     u"सहायता दिखाएँ",
     u"वीडियो टैग संपादित करें",
     u"दूसरे नाम से सहेजें",
     u"हटाएँ(&D)",
     u"सीमा तक ट्रिम करें",
     u"संदर्भ सूची में जोड़ें",
     u"ID बदलें"},
    // 9 Arabic
    {u"وضعية الرأس: يدوي",
     u"وضعية الرأس: مستشعر الجيروسكوب (منفذ تسلسلي)",
     u"وضعية الرأس: جيروسكوب الهاتف (Wi-Fi)",
     u"اتجاه الجيروسكوب",
     u"اختيار الكاميرا",
     u"إضافة الفيديو الحالي إلى قائمة المراجع",
     u"عرض الكل",
     u"إظهار تلميحات الأدوات",
     u"تعليمات",
     u"اختيار اللغة",
     u"نسخ احتياطي",
     u"تعيين مجلد النسخ الاحتياطي",
     u"تغيير مجلد الحفظ",
     u"الصفحة الرئيسية",
     u"عرض التعليمات",
     u"تحرير علامات الفيديو",
     u"حفظ باسم آخر",
     u"حذف(&D)",
     u"قص حسب النطاق",
     u"إضافة إلى قائمة المراجع",
     u"تغيير المعرّف"},
    // 10 Russian
    {u"Положение головы: вручную",
     u"Положение головы: гиродатчик (последовательный порт)",
     u"Положение головы: гироскоп телефона (Wi-Fi)",
     u"Ориентация гироскопа",
     u"Выбор камеры",
     u"Добавить текущее видео в справочный список",
     u"Показать все",
     u"Показывать подсказки",
     u"СПРАВКА",
     u"Выбор языка",
     u"Резервное копирование",
     u"Задать папку для резервных копий",
     u"Изменить папку сохранения",
     u"Главная страница",
     u"Справка",
     u"Изменить теги видео",
     u"Сохранить под другим именем",
     u"&Удалить",
     u"Обрезать по диапазону",
     u"Добавить в справочный список",
     u"Изменить ID"},
    // 11 German
    {u"Kopfposition: manuell",
     u"Kopfposition: Gyrosensor (serieller Anschluss)",
     u"Kopfposition: Smartphone-Gyroskop (WLAN)",
     u"Gyro-Ausrichtung",
     u"Kameraauswahl",
     u"Aktuelles Video zur Referenzliste hinzufügen",
     u"Alle anzeigen",
     u"QuickInfos anzeigen",
     u"HILFE",
     u"Sprache wählen",
     u"Sichern",
     u"Sicherungsordner festlegen",
     u"Speicherordner ändern",
     u"Startseite",
     u"Hilfe",
     u"Video-Tags bearbeiten",
     u"Unter anderem Namen speichern",
     u"&Löschen",
     u"Auf Bereich zuschneiden",
     u"Zur Referenzliste hinzufügen",
     u"ID ändern"},
    // 12 Malay
    {u"Kedudukan kepala: manual",
     u"Kedudukan kepala: penderia giro (port bersiri)",
     u"Kedudukan kepala: giro telefon (Wi-Fi)",
     u"Arah giro",
     u"Pilih kamera",
     u"Tambah video semasa ke senarai rujukan",
     u"Senaraikan semua",
     u"Tunjukkan petua alat",
     u"BANTUAN",
     u"Pilih bahasa",
     u"Sandarkan",
     u"Tetapkan folder sandaran",
     u"Tukar folder simpanan",
     u"Halaman utama",
     u"Bantuan",
     u"Sunting tag video",
     u"Simpan dengan nama lain",
     u"&Padam",
     u"Potong mengikut julat",
     u"Tambah ke senarai rujukan",
     u"Tukar ID"},
};

// Camera items are not in camera order: the first camera has 32817, the second 32816.
constexpr int kCameraCommands[CameraItemCount] = {32817, 32816, 32818, 32819, 32820};

MenuItemDef item(int command, const char16_t* caption)
{
    return {command, QString::fromUtf16(caption), {}};
}

MenuItemDef separator()
{
    return {};
}

MenuItemDef subMenu(const char16_t* caption, std::vector<MenuItemDef> children)
{
    return {-1, QString::fromUtf16(caption), std::move(children)};
}

std::vector<MenuItemDef> mainMenu(const MenuTexts& t, int language)
{
    std::vector<MenuItemDef> ports;
    for (int k = 0; k < ComPortItemCount; ++k)
        ports.push_back({CmdComPortFirst + k, QStringLiteral("com%1").arg(k + 1), {}});
    std::vector<MenuItemDef> directions;
    for (int k = 0; k < GyroDirectionCount; ++k)
        directions.push_back(
            {CmdGyroDirectionFirst + k, uiTextIn(language, TxtGyroDirectionItem).arg(k + 1), {}});
    std::vector<MenuItemDef> cameras;
    for (int j = 0; j < CameraItemCount; ++j)
        cameras.push_back({kCameraCommands[j], uiTextIn(language, TxtCameraItem).arg(j + 1), {}});
    std::vector<MenuItemDef> languages;
    for (int n = 0; n < LanguageCount; ++n)
        languages.push_back({languageCommand(n), languageMenuCaption(n), {}});

    return {item(CmdHeadPositionManual, t.headPositionManual),
            subMenu(t.headPositionSerial, std::move(ports)),
            item(CmdHeadPositionPhone, t.headPositionPhone),
            subMenu(t.gyroDirection, std::move(directions)),
            separator(),
            subMenu(t.cameraDevice, std::move(cameras)),
            separator(),
            item(CmdAddToReferenceList, t.addCurrentToReference),
            separator(),
            item(CmdListAll, t.listAll),
            separator(),
            item(CmdShowToolTips, t.showToolTips),
            item(CmdHelp, t.mainHelp),
            subMenu(t.selectLanguage, std::move(languages))};
}

} // namespace

std::vector<MenuItemDef> menuDefinition(MenuKind kind, int language)
{
    if (language < 0 || language >= LanguageCount)
        language = Japanese;
    const MenuTexts& t = kMenuTexts[language];
    switch (kind) {
    case MenuKind::MainMenu:
        return mainMenu(t, language);
    case MenuKind::FolderMenu:
        return {item(CmdBackup, t.backup),
                item(CmdSetBackupFolder, t.setBackupFolder),
                separator(),
                item(CmdChangeSaveFolder, t.changeSaveFolder),
                separator(),
                item(CmdTopPage, t.topPage),
                separator(),
                item(CmdHelp, t.folderHelp)};
    case MenuKind::AllListPopupMenu:
        return {item(CmdEditVideoTags, t.editVideoTags), item(CmdSaveAsFile, t.saveAsFile),
                item(CmdDeleteAllListVideo, t.deleteFile)};
    case MenuKind::VideoPopupMenu:
        return {item(CmdEditVideoTags, t.editVideoTags),
                item(CmdTrimToRange, t.trimToRange),
                item(CmdAddToReferenceList, t.addToReference),
                item(CmdChangeId, t.changeId),
                item(CmdSaveAsFile, t.saveAsFile),
                item(CmdDeleteVideo, t.deleteFile)};
    }
    return {};
}

int menuResourceId(MenuKind kind, int languageSetting)
{
    const int n = languageSetting >= 0 && languageSetting < LanguageCount ? languageSetting : 0;
    // Each kind's IDs run in three blocks: Japanese and English, languages 2..7, languages 8..12.
    switch (kind) {
    case MenuKind::MainMenu:
        return n == 0 ? 161 : n == 1 ? 162 : n <= 7 ? 179 + n : 212 + n;
    case MenuKind::FolderMenu:
        return n <= 7 ? 190 + n : 222 + n;
    case MenuKind::AllListPopupMenu:
        return n <= 7 ? 200 + n : 242 + n;
    case MenuKind::VideoPopupMenu:
        return n <= 7 ? 210 + n : 232 + n;
    }
    return 0;
}

int cameraCommand(int cameraNumber)
{
    return cameraNumber >= 0 && cameraNumber < CameraItemCount ? kCameraCommands[cameraNumber] : -1;
}

int cameraForCommand(int command)
{
    for (int j = 0; j < CameraItemCount; ++j)
        if (kCameraCommands[j] == command)
            return j;
    return -1;
}

} // namespace tolvek
