#error "tolvek_core must not include QtWidgets: put widget code in tolvek_ui"
