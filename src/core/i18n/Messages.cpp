#include "core/i18n/Messages.h"

#include <atomic>

namespace tolvek {

namespace {

using Row = const char16_t* [MessageCount];

// Row l holds language l's texts, each at its MessageId; unused ids are nullptr.
const Row kMessages[LanguageCount] = {
    // 0 Japanese
    {nullptr,
     nullptr,
     u"撮影日時",
     u"時間",
     u"メモ情報",
     u"ファイル名",
     u"参照リスト",
     u"黄色三角マークで挟まれたの範囲をトリミングします",
     u"下の再生スライダーの左右黄色三角マークを\r\nマウスで動かし範囲を設定すると\r\nボタンが有効になります",
     u"ファイルをダブルクリックすると再生します\r\nファイルの右クリックでポップアップメニューがでます",
     u"右リストボックスに設定したIDの映像が一覧表示されます",
     u"項目をクリックするとその項目でソートします。",
     nullptr,
     u"クリックで再生／停止\r\n下の再生スライダーでコマ送りします\r\n右クリックでポップアップメニューが出ま"
     u"す",
     u"Enterキーでも録画を終了します\r\n区画のクリックで対応する頭位アニメーション表示\r\nテンキーでも頭位ア"
     u"ニメーション変更可能",
     u"Enter Keyでも録画を終了します",
     u"カメラを接続してください。",
     u"センサースレッドを開始できませんでした。",
     nullptr,
     nullptr,
     nullptr,
     u"選択中のファイルを削除しますか？\r\n\r\n%s",
     u"確認",
     u"バックアップフォルダーが未設定です。",
     u"頭位アニメーションの左上の仰臥位／座位 表示変更",
     u"頭位アニメーションを正面向きにします。\r\nスペースキーのタップと同等",
     u"頭位アニメーションを正面向きにして、録画を最初からやり直します\r\nF1キー、スペースキーのダブルタップと"
     u"同等です",
     u"元のファイルを残す時はチェック",
     nullptr},
    // 1 English
    {nullptr,
     nullptr,
     u"Date",
     u"Length",
     u"Memo",
     u"File name",
     u"References",
     u"Trim the range between the two yellow triangle markers.",
     u"Move the left and right yellow triangle markers\r\non the playback slider to set a range.\r\nThe "
     u"button will "
     u"then become enabled.",
     u"Double-click a file to play it.\r\nRight-click a file to open the pop-up menu.",
     u"Videos with the selected ID will be listed in the right list box.",
     u"Click a column header to sort by that column.",
     nullptr,
     u"Click to play/pause.\r\nUse the playback slider to move frame by frame.\r\nRight-click to open the "
     u"pop-up "
     u"menu.",
     u"Press the Enter key to stop recording.\r\nClick a section to display the corresponding head-position "
     u"animation.\r\nUse the numeric keypad to change the head-position animation.",
     u"Press Enter Key to stop recording.",
     u"Please connect a camera.",
     u"Failed to start sensor thread.",
     nullptr,
     nullptr,
     nullptr,
     u"Do you want to delete the selected file?\r\n\r\n%s",
     u"Confirmation",
     u"The backup folder is not set.",
     u"Change supine/sitting display at the top-left of the head-position animation",
     u"Reset the head-position animation to face forward.\r\nEquivalent to tapping the Space key.",
     u"Reset the head-position animation to face forward and restart recording from the "
     u"beginning.\r\nEquivalent "
     u"to the F1 key or double-tapping the Space key.",
     u"Check to keep the original file.",
     nullptr},
    // 2 Portuguese
    {nullptr,
     nullptr,
     u"Data",
     u"Duração",
     u"Nota",
     u"Nome do arquivo",
     u"Referências",
     u"Recortar o intervalo entre os dois marcadores triangulares amarelos.",
     u"Mova os marcadores triangulares amarelos esquerdo e direito\r\n"
     u"na barra de reprodução para definir um intervalo.\r\n"
     u"O botão será então ativado.",
     u"Clique duas vezes em um arquivo para reproduzi-lo.\r\n"
     u"Clique com o botão direito em um arquivo para abrir o menu pop-up.",
     u"Os vídeos com o ID selecionado serão listados na caixa de lista à direita.",
     u"Clique no cabeçalho de uma coluna para ordenar por essa coluna.",
     nullptr,
     u"Clique para reproduzir/pausar.\r\n"
     u"Use a barra de reprodução para avançar quadro a quadro.\r\n"
     u"Clique com o botão direito para abrir o menu pop-up.",
     u"Pressione a tecla Enter para parar a gravação.\r\n"
     u"Clique em uma seção para exibir a animação correspondente da posição da cabeça.\r\n"
     u"Use o teclado numérico para alterar a animação da posição da cabeça.",
     u"Pressione a tecla Enter para parar a gravação.",
     u"Conecte uma câmera.",
     u"Não foi possível iniciar a thread do sensor.",
     nullptr,
     nullptr,
     nullptr,
     u"Deseja excluir o arquivo selecionado?\r\n\r\n%s",
     u"Confirmação",
     u"A pasta de backup não está definida.",
     u"Alterar a indicação decúbito dorsal/sentado no canto superior esquerdo da animação da posição da "
     u"cabeça",
     u"Redefinir a animação da posição da cabeça para olhar para a frente.\r\n"
     u"Equivale a pressionar a tecla Espaço uma vez.",
     u"Redefinir a animação da posição da cabeça para olhar para a frente e reiniciar a gravação desde o "
     u"início.\r\n"
     u"Equivale à tecla F1 ou a pressionar duas vezes a tecla Espaço.",
     u"Marque para manter o arquivo original.",
     nullptr},
    // 3 Chinese, simplified
    {nullptr,
     nullptr,
     u"拍摄日期",
     u"时长",
     u"备注",
     u"文件名",
     u"参考列表",
     u"裁剪两个黄色三角标记之间的范围。",
     u"用鼠标移动下方播放滑块上左右两个黄色三角标记\r\n"
     u"设定范围后，\r\n"
     u"此按钮即变为可用。",
     u"双击文件即可播放。\r\n"
     u"右键单击文件可打开弹出菜单。",
     u"右侧列表框中将列出所选 ID 的视频。",
     u"单击列标题可按该列排序。",
     nullptr,
     u"单击播放/暂停。\r\n"
     u"使用下方播放滑块逐帧移动。\r\n"
     u"右键单击可打开弹出菜单。",
     u"按 Enter 键也可结束录制。\r\n"
     u"单击某个区域可显示对应的头位动画。\r\n"
     u"也可使用数字小键盘更改头位动画。",
     u"按 Enter 键也可结束录制。",
     u"请连接摄像头。",
     u"无法启动传感器线程。",
     nullptr,
     nullptr,
     nullptr,
     u"是否删除所选文件？\r\n\r\n%s",
     u"确认",
     u"尚未设置备份文件夹。",
     u"切换头位动画左上角的仰卧位/坐位显示",
     u"将头位动画复位为正面朝向。\r\n"
     u"等同于轻按一次空格键。",
     u"将头位动画复位为正面朝向，并从头重新开始录制。\r\n"
     u"等同于按 F1 键或连按两次空格键。",
     u"勾选以保留原文件。",
     nullptr},
    // 4 Chinese, traditional
    {nullptr,
     nullptr,
     u"拍攝日期",
     u"時長",
     u"備註",
     u"檔案名稱",
     u"參考清單",
     u"裁剪兩個黃色三角標記之間的範圍。",
     u"用滑鼠移動下方播放滑桿上左右兩個黃色三角標記\r\n"
     u"設定範圍後，\r\n"
     u"此按鈕即變為可用。",
     u"按兩下檔案即可播放。\r\n"
     u"在檔案上按右鍵可開啟快顯功能表。",
     u"右側清單方塊中將列出所選 ID 的影片。",
     u"按一下欄位標題可依該欄排序。",
     nullptr,
     u"按一下播放/暫停。\r\n"
     u"使用下方播放滑桿逐格移動。\r\n"
     u"按右鍵可開啟快顯功能表。",
     u"按 Enter 鍵也可結束錄影。\r\n"
     u"按一下某個區塊可顯示對應的頭位動畫。\r\n"
     u"也可使用數字鍵台變更頭位動畫。",
     u"按 Enter 鍵也可結束錄影。",
     u"請連接攝影機。",
     u"無法啟動感測器執行緒。",
     nullptr,
     nullptr,
     nullptr,
     u"是否刪除所選檔案？\r\n\r\n%s",
     u"確認",
     u"尚未設定備份資料夾。",
     u"切換頭位動畫左上角的仰臥位/坐位顯示",
     u"將頭位動畫重設為正面朝向。\r\n"
     u"等同於輕按一次空白鍵。",
     u"將頭位動畫重設為正面朝向，並從頭重新開始錄影。\r\n"
     u"等同於按 F1 鍵或連按兩次空白鍵。",
     u"勾選以保留原始檔案。",
     nullptr},
    // 5 Korean
    {nullptr,
     nullptr,
     u"촬영 일시",
     u"재생 시간",
     u"메모",
     u"파일 이름",
     u"참조 목록",
     u"두 노란색 삼각형 표시 사이의 범위를 잘라냅니다.",
     u"아래 재생 슬라이더의 왼쪽과 오른쪽 노란색 삼각형 표시를\r\n"
     u"마우스로 움직여 범위를 설정하면\r\n"
     u"버튼이 활성화됩니다.",
     u"파일을 두 번 클릭하면 재생됩니다.\r\n"
     u"파일을 마우스 오른쪽 버튼으로 클릭하면 팝업 메뉴가 열립니다.",
     u"선택한 ID의 동영상이 오른쪽 목록 상자에 표시됩니다.",
     u"열 머리글을 클릭하면 해당 열을 기준으로 정렬합니다.",
     nullptr,
     u"클릭하면 재생/일시 정지합니다.\r\n"
     u"재생 슬라이더로 프레임 단위로 이동합니다.\r\n"
     u"마우스 오른쪽 버튼을 클릭하면 팝업 메뉴가 열립니다.",
     u"Enter 키로도 녹화를 종료합니다.\r\n"
     u"구역을 클릭하면 해당 머리 위치 애니메이션이 표시됩니다.\r\n"
     u"숫자 키패드로도 머리 위치 애니메이션을 바꿀 수 있습니다.",
     u"Enter 키로도 녹화를 종료합니다.",
     u"카메라를 연결해 주십시오.",
     u"센서 스레드를 시작하지 못했습니다.",
     nullptr,
     nullptr,
     nullptr,
     u"선택한 파일을 삭제하시겠습니까?\r\n\r\n%s",
     u"확인",
     u"백업 폴더가 설정되지 않았습니다.",
     u"머리 위치 애니메이션 왼쪽 위의 앙와위/좌위 표시 변경",
     u"머리 위치 애니메이션을 정면 방향으로 되돌립니다.\r\n"
     u"Space 키를 한 번 누르는 것과 같습니다.",
     u"머리 위치 애니메이션을 정면 방향으로 되돌리고 녹화를 처음부터 다시 시작합니다.\r\n"
     u"F1 키 또는 Space 키를 두 번 누르는 것과 같습니다.",
     u"원본 파일을 남기려면 선택하십시오.",
     nullptr},
    // 6 French
    {nullptr,
     nullptr,
     u"Date",
     u"Durée",
     u"Mémo",
     u"Nom du fichier",
     u"Références",
     u"Découper la plage comprise entre les deux marqueurs triangulaires jaunes.",
     u"Déplacez les marqueurs triangulaires jaunes gauche et droit\r\n"
     u"sur le curseur de lecture pour définir une plage.\r\n"
     u"Le bouton sera alors activé.",
     u"Double-cliquez sur un fichier pour le lire.\r\n"
     u"Cliquez avec le bouton droit sur un fichier pour ouvrir le menu contextuel.",
     u"Les vidéos de l'ID sélectionné s'afficheront dans la liste de droite.",
     u"Cliquez sur un en-tête de colonne pour trier selon cette colonne.",
     nullptr,
     u"Cliquez pour lire/mettre en pause.\r\n"
     u"Utilisez le curseur de lecture pour avancer image par image.\r\n"
     u"Cliquez avec le bouton droit pour ouvrir le menu contextuel.",
     u"Appuyez sur la touche Entrée pour arrêter l'enregistrement.\r\n"
     u"Cliquez sur une zone pour afficher l'animation de position de la tête correspondante.\r\n"
     u"Utilisez le pavé numérique pour changer l'animation de position de la tête.",
     u"Appuyez sur la touche Entrée pour arrêter l'enregistrement.",
     u"Veuillez connecter une caméra.",
     u"Impossible de démarrer le thread du capteur.",
     nullptr,
     nullptr,
     nullptr,
     u"Voulez-vous supprimer le fichier sélectionné ?\r\n\r\n%s",
     u"Confirmation",
     u"Le dossier de sauvegarde n'est pas défini.",
     u"Changer l'indication décubitus dorsal/assis en haut à gauche de l'animation de position de la tête",
     u"Remettre l'animation de position de la tête face vers l'avant.\r\n"
     u"Équivaut à un appui bref sur la touche Espace.",
     u"Remettre l'animation de position de la tête face vers l'avant et reprendre l'enregistrement depuis le "
     u"début.\r\n"
     u"Équivaut à la touche F1 ou à un double appui sur la touche Espace.",
     u"Cochez pour conserver le fichier d'origine.",
     nullptr},
    // 7 Spanish
    {nullptr,
     nullptr,
     u"Fecha",
     u"Duración",
     u"Nota",
     u"Nombre de archivo",
     u"Referencias",
     u"Recortar el intervalo entre los dos marcadores triangulares amarillos.",
     u"Mueva los marcadores triangulares amarillos izquierdo y derecho\r\n"
     u"de la barra de reproducción para definir un intervalo.\r\n"
     u"Entonces se habilitará el botón.",
     u"Haga doble clic en un archivo para reproducirlo.\r\n"
     u"Haga clic con el botón derecho en un archivo para abrir el menú emergente.",
     u"Los vídeos con el ID seleccionado se mostrarán en la lista de la derecha.",
     u"Haga clic en el encabezado de una columna para ordenar por esa columna.",
     nullptr,
     u"Haga clic para reproducir/pausar.\r\n"
     u"Use la barra de reproducción para avanzar fotograma a fotograma.\r\n"
     u"Haga clic con el botón derecho para abrir el menú emergente.",
     u"Pulse la tecla Intro para detener la grabación.\r\n"
     u"Haga clic en una sección para mostrar la animación correspondiente de la posición de la cabeza.\r\n"
     u"Use el teclado numérico para cambiar la animación de la posición de la cabeza.",
     u"Pulse la tecla Intro para detener la grabación.",
     u"Conecte una cámara.",
     u"No se pudo iniciar el hilo del sensor.",
     nullptr,
     nullptr,
     nullptr,
     u"¿Desea eliminar el archivo seleccionado?\r\n\r\n%s",
     u"Confirmación",
     u"No se ha establecido la carpeta de copia de seguridad.",
     u"Cambiar la indicación decúbito supino/sentado en la esquina superior izquierda de la animación de la "
     u"posición de la cabeza",
     u"Restablecer la animación de la posición de la cabeza mirando al frente.\r\n"
     u"Equivale a pulsar una vez la barra espaciadora.",
     u"Restablecer la animación de la posición de la cabeza mirando al frente y reiniciar la grabación desde "
     u"el principio.\r\n"
     u"Equivale a la tecla F1 o a pulsar dos veces la barra espaciadora.",
     u"Marque para conservar el archivo original.",
     nullptr},
    // 8 Hindi
    {nullptr,
     nullptr,
     u"दिनांक",
     u"अवधि",
     u"टिप्पणी",
     u"फ़ाइल नाम",
     u"संदर्भ सूची",
     u"दोनों पीले त्रिकोण चिह्नों के बीच की सीमा को ट्रिम करें।",
     u"प्लेबैक स्लाइडर पर बाएँ और दाएँ पीले त्रिकोण चिह्नों को\r\n"
     u"खिसकाकर एक सीमा निर्धारित करें।\r\n"
     u"इसके बाद बटन सक्रिय हो जाएगा।",
     u"फ़ाइल चलाने के लिए उस पर डबल-क्लिक करें।\r\n"
     u"पॉप-अप मेनू खोलने के लिए फ़ाइल पर राइट-क्लिक करें।",
     u"चयनित ID वाले वीडियो दाईं ओर की सूची में दिखाए जाएँगे।",
     u"किसी कॉलम के अनुसार क्रमबद्ध करने के लिए उसके शीर्षक पर क्लिक करें।",
     nullptr,
     u"चलाने/रोकने के लिए क्लिक करें।\r\n"
     u"फ़्रेम-दर-फ़्रेम आगे बढ़ने के लिए प्लेबैक स्लाइडर का उपयोग करें।\r\n"
     u"पॉप-अप मेनू खोलने के लिए राइट-क्लिक करें।",
     u"रिकॉर्डिंग रोकने के लिए Enter कुंजी दबाएँ।\r\n"
     u"संबंधित सिर-स्थिति एनीमेशन दिखाने के लिए किसी भाग पर क्लिक करें।\r\n"
     u"सिर-स्थिति एनीमेशन बदलने के लिए न्यूमेरिक कीपैड का उपयोग करें।",
     u"रिकॉर्डिंग रोकने के लिए Enter कुंजी दबाएँ।",
     u"कृपया कैमरा कनेक्ट करें।",
     u"सेंसर थ्रेड शुरू नहीं हो सका।",
     nullptr,
     nullptr,
     nullptr,
     u"क्या आप चयनित फ़ाइल को हटाना चाहते हैं?\r\n\r\n%s",
     u"पुष्टि",
     u"बैकअप फ़ोल्डर सेट नहीं है।",
     u"सिर-स्थिति एनीमेशन के ऊपरी बाएँ कोने में पीठ के बल लेटने/बैठने का प्रदर्शन बदलें",
     u"सिर-स्थिति एनीमेशन को सामने की ओर रीसेट करें।\r\n"
     u"यह Space कुंजी को एक बार दबाने के समान है।",
     u"सिर-स्थिति एनीमेशन को सामने की ओर रीसेट करें और रिकॉर्डिंग को शुरू से फिर आरंभ करें।\r\n"
     u"यह F1 कुंजी या Space कुंजी को दो बार दबाने के समान है।",
     u"मूल फ़ाइल रखने के लिए चिह्नित करें।",
     nullptr},
    // 9 Arabic
    {nullptr,
     nullptr,
     u"التاريخ",
     u"المدة",
     u"ملاحظة",
     u"اسم الملف",
     u"المراجع",
     u"قص النطاق الواقع بين علامتي المثلث الأصفر.",
     u"حرّك علامتي المثلث الأصفر اليسرى واليمنى\r\n"
     u"على شريط التشغيل لتحديد نطاق.\r\n"
     u"بعد ذلك يصبح الزر متاحًا.",
     u"انقر نقرًا مزدوجًا على ملف لتشغيله.\r\n"
     u"انقر بزر الماوس الأيمن على ملف لفتح القائمة المنبثقة.",
     u"ستُعرض مقاطع الفيديو ذات المعرّف المحدد في مربع القائمة الأيمن.",
     u"انقر على رأس عمود للفرز حسب ذلك العمود.",
     nullptr,
     u"انقر للتشغيل/الإيقاف المؤقت.\r\n"
     u"استخدم شريط التشغيل للتنقل إطارًا بإطار.\r\n"
     u"انقر بزر الماوس الأيمن لفتح القائمة المنبثقة.",
     u"اضغط على مفتاح Enter لإيقاف التسجيل.\r\n"
     u"انقر على قسم لعرض الرسم المتحرك المقابل لوضعية الرأس.\r\n"
     u"استخدم لوحة المفاتيح الرقمية لتغيير الرسم المتحرك لوضعية الرأس.",
     u"اضغط على مفتاح Enter لإيقاف التسجيل.",
     u"يرجى توصيل كاميرا.",
     u"تعذّر بدء مؤشر ترابط المستشعر.",
     nullptr,
     nullptr,
     nullptr,
     u"هل تريد حذف الملف المحدد؟\r\n\r\n%s",
     u"تأكيد",
     u"لم يتم تعيين مجلد النسخ الاحتياطي.",
     u"تغيير عرض وضعية الاستلقاء على الظهر/الجلوس أعلى يسار الرسم المتحرك لوضعية الرأس",
     u"إعادة الرسم المتحرك لوضعية الرأس إلى الاتجاه الأمامي.\r\n"
     u"يعادل الضغط مرة واحدة على مفتاح المسافة.",
     u"إعادة الرسم المتحرك لوضعية الرأس إلى الاتجاه الأمامي وإعادة التسجيل من البداية.\r\n"
     u"يعادل مفتاح F1 أو الضغط مرتين على مفتاح المسافة.",
     u"حدّد هذا الخيار للاحتفاظ بالملف الأصلي.",
     nullptr},
    // 10 Russian
    {nullptr,
     nullptr,
     u"Дата",
     u"Длительность",
     u"Заметка",
     u"Имя файла",
     u"Справочный список",
     u"Обрезать фрагмент между двумя жёлтыми треугольными маркерами.",
     u"Передвиньте левый и правый жёлтые треугольные маркеры\r\n"
     u"на ползунке воспроизведения, чтобы задать диапазон.\r\n"
     u"После этого кнопка станет доступной.",
     u"Дважды щёлкните файл, чтобы воспроизвести его.\r\n"
     u"Щёлкните файл правой кнопкой мыши, чтобы открыть контекстное меню.",
     u"Видео с выбранным ID будут показаны в списке справа.",
     u"Щёлкните заголовок столбца, чтобы отсортировать по этому столбцу.",
     nullptr,
     u"Щёлкните для воспроизведения/паузы.\r\n"
     u"Используйте ползунок воспроизведения для покадрового перемещения.\r\n"
     u"Щёлкните правой кнопкой мыши, чтобы открыть контекстное меню.",
     u"Нажмите клавишу Enter, чтобы остановить запись.\r\n"
     u"Щёлкните область, чтобы показать соответствующую анимацию положения головы.\r\n"
     u"Используйте цифровую клавиатуру, чтобы изменить анимацию положения головы.",
     u"Нажмите клавишу Enter, чтобы остановить запись.",
     u"Подключите камеру.",
     u"Не удалось запустить поток датчика.",
     nullptr,
     nullptr,
     nullptr,
     u"Удалить выбранный файл?\r\n\r\n%s",
     u"Подтверждение",
     u"Папка для резервных копий не задана.",
     u"Переключить отображение «лёжа на спине/сидя» в левом верхнем углу анимации положения головы",
     u"Повернуть анимацию положения головы лицом вперёд.\r\n"
     u"То же, что короткое нажатие клавиши «Пробел».",
     u"Повернуть анимацию положения головы лицом вперёд и начать запись заново.\r\n"
     u"То же, что клавиша F1 или двойное нажатие клавиши «Пробел».",
     u"Отметьте, чтобы сохранить исходный файл.",
     nullptr},
    // 11 German
    {nullptr,
     nullptr,
     u"Datum",
     u"Dauer",
     u"Notiz",
     u"Dateiname",
     u"Referenzen",
     u"Den Bereich zwischen den beiden gelben Dreiecksmarkierungen zuschneiden.",
     u"Verschieben Sie die linke und rechte gelbe Dreiecksmarkierung\r\n"
     u"auf dem Wiedergaberegler, um einen Bereich festzulegen.\r\n"
     u"Danach wird die Schaltfläche aktiviert.",
     u"Doppelklicken Sie auf eine Datei, um sie abzuspielen.\r\n"
     u"Klicken Sie mit der rechten Maustaste auf eine Datei, um das Kontextmenü zu öffnen.",
     u"Die Videos mit der ausgewählten ID werden im rechten Listenfeld angezeigt.",
     u"Klicken Sie auf eine Spaltenüberschrift, um nach dieser Spalte zu sortieren.",
     nullptr,
     u"Klicken zum Abspielen/Anhalten.\r\n"
     u"Mit dem Wiedergaberegler Bild für Bild weiterschalten.\r\n"
     u"Rechtsklick öffnet das Kontextmenü.",
     u"Drücken Sie die Eingabetaste, um die Aufnahme zu beenden.\r\n"
     u"Klicken Sie auf einen Bereich, um die zugehörige Kopfpositionsanimation anzuzeigen.\r\n"
     u"Mit dem Ziffernblock lässt sich die Kopfpositionsanimation ändern.",
     u"Drücken Sie die Eingabetaste, um die Aufnahme zu beenden.",
     u"Bitte schließen Sie eine Kamera an.",
     u"Der Sensor-Thread konnte nicht gestartet werden.",
     nullptr,
     nullptr,
     nullptr,
     u"Möchten Sie die ausgewählte Datei löschen?\r\n\r\n%s",
     u"Bestätigung",
     u"Der Sicherungsordner ist nicht festgelegt.",
     u"Anzeige Rückenlage/Sitzen oben links in der Kopfpositionsanimation umschalten",
     u"Die Kopfpositionsanimation auf Blick nach vorn zurücksetzen.\r\n"
     u"Entspricht einem kurzen Druck auf die Leertaste.",
     u"Die Kopfpositionsanimation auf Blick nach vorn zurücksetzen und die Aufnahme von vorn beginnen.\r\n"
     u"Entspricht der Taste F1 oder einem doppelten Druck auf die Leertaste.",
     u"Aktivieren, um die Originaldatei zu behalten.",
     nullptr},
    // 12 Malay
    {nullptr,
     nullptr,
     u"Tarikh",
     u"Tempoh",
     u"Catatan",
     u"Nama fail",
     u"Rujukan",
     u"Potong julat di antara dua penanda segi tiga kuning.",
     u"Gerakkan penanda segi tiga kuning kiri dan kanan\r\n"
     u"pada gelangsar main balik untuk menetapkan julat.\r\n"
     u"Butang kemudian akan didayakan.",
     u"Klik dua kali pada fail untuk memainkannya.\r\n"
     u"Klik kanan pada fail untuk membuka menu timbul.",
     u"Video dengan ID yang dipilih akan disenaraikan dalam kotak senarai di sebelah kanan.",
     u"Klik pengepala lajur untuk mengisih mengikut lajur tersebut.",
     nullptr,
     u"Klik untuk main/jeda.\r\n"
     u"Gunakan gelangsar main balik untuk bergerak bingkai demi bingkai.\r\n"
     u"Klik kanan untuk membuka menu timbul.",
     u"Tekan kekunci Enter untuk menghentikan rakaman.\r\n"
     u"Klik pada satu bahagian untuk memaparkan animasi kedudukan kepala yang sepadan.\r\n"
     u"Gunakan pad kekunci angka untuk menukar animasi kedudukan kepala.",
     u"Tekan kekunci Enter untuk menghentikan rakaman.",
     u"Sila sambungkan kamera.",
     u"Gagal memulakan bebenang penderia.",
     nullptr,
     nullptr,
     nullptr,
     u"Adakah anda mahu memadamkan fail yang dipilih?\r\n\r\n%s",
     u"Pengesahan",
     u"Folder sandaran belum ditetapkan.",
     u"Tukar paparan terlentang/duduk di bahagian kiri atas animasi kedudukan kepala",
     u"Tetapkan semula animasi kedudukan kepala supaya menghadap ke hadapan.\r\n"
     u"Sama seperti menekan kekunci Space sekali.",
     u"Tetapkan semula animasi kedudukan kepala supaya menghadap ke hadapan dan mulakan semula rakaman dari "
     u"awal.\r\n"
     u"Sama seperti kekunci F1 atau menekan kekunci Space dua kali.",
     u"Tandakan untuk menyimpan fail asal.",
     nullptr},
};

std::atomic<int> g_language{0};

} // namespace

QString messageText(int language, int id)
{
    if (language < 0 || language >= LanguageCount || id < 0 || id >= MessageCount)
        return {};
    const char16_t* text = kMessages[language][id];
    // Every row carries all the texts the system shows; the English fallback is only a safety net,
    // so that a text missing from a row would show in English rather than as an empty string.
    if (!text)
        text = kMessages[English][id];
    return text ? QString::fromUtf16(text) : QString();
}

int currentLanguage()
{
    return g_language.load();
}

void setCurrentLanguage(int language)
{
    g_language.store(language >= 0 && language < LanguageCount ? language : 0);
}

QString Message(MessageId id)
{
    return messageText(currentLanguage(), id);
}

int languageFromSetting(const QString& text)
{
    // A plain decimal conversion in the manner of _wtoi: leading blanks and a sign, then digits;
    // anything that is not a number gives 0.
    qsizetype i = 0;
    while (i < text.size() && (text[i] == u' ' || text[i] == u'\t'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-'))
        negative = text[i++] == u'-';
    long long v = 0;
    while (i < text.size() && text[i] >= u'0' && text[i] <= u'9' && v < 1000)
        v = v * 10 + (text[i++].unicode() - u'0');
    if (negative)
        v = -v;
    return v >= 0 && v < LanguageCount ? static_cast<int>(v) : 0;
}

int languageCommand(int language)
{
    if (language < 0 || language >= LanguageCount)
        return -1;
    return language <= 2 ? 32955 + language : 32956 + language;
}

int languageForCommand(int command)
{
    if (command >= 32955 && command <= 32957)
        return command - 32955;
    if (command >= 32959 && command <= 32968)
        return command - 32956;
    return -1;
}

QString languageMenuCaption(int language)
{
    static const char16_t* const captions[LanguageCount] = {u"日本語 (Japanese)",
                                                            u"English",
                                                            u"Português (Portuguese)",
                                                            u"简体中文 (Chinese Simplified)",
                                                            u"繁體中文 (Chinese Traditional)",
                                                            u"한국어 (Korean)",
                                                            u"Français (French)",
                                                            u"Español (Spanish)",
                                                            u"हिन्दी (Hindi)",
                                                            u"العربية (Arabic)",
                                                            u"Русский (Russian)",
                                                            u"Deutsch (German)",
                                                            u"Bahasa Melayu (Malay)"};
    return language >= 0 && language < LanguageCount ? QString::fromUtf16(captions[language]) : QString();
}

QString helpFolderCode(int language)
{
    static const char* const codes[LanguageCount] = {"ja", "en", "pt", "zh-Hans", "zh-Hant", "ko", "fr",
                                                     "es", "hi", "ar", "ru",      "de",      "ms"};
    return QString::fromLatin1(language >= 0 && language < LanguageCount ? codes[language] : "en");
}

} // namespace tolvek
