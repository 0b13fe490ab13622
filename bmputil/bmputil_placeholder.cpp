namespace bmputil {}
