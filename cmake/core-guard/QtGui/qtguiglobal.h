#error "tolvek_core must not include QtGui: put widget and painting code in tolvek_ui"
