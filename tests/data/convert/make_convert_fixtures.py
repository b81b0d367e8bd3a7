#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Writes the question banks of this folder: one folder per case, each holding its input file
(in.gift, in.aiken or in.xml) and the pictures it names. The expected.ttxt and expected.txt
files beside them are kept by hand: run this script only to rewrite the inputs, from anywhere:
    python3 tests/data/convert/make_convert_fixtures.py
"""

import base64
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
DOT_JPG = os.path.join(HERE, "..", "model", "pictures", "dot.jpg")


def write(case, name, data):
    path = os.path.join(HERE, case, name)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data.encode("utf-8") if isinstance(data, str) else data)


def png_chunk(kind, body):
    crc = zlib.crc32(kind + body) & 0xFFFFFFFF
    return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", crc)


def png(width, height, pixels=None):
    """An RGBA PNG; without pixels, one that claims the size but holds one byte of rows."""
    head = b"\x89PNG\r\n\x1a\n" + png_chunk(b"IHDR", struct.pack(">IIBBBBB", width, height,
                                                                  8, 6, 0, 0, 0))
    if pixels is None:
        return head + png_chunk(b"IDAT", zlib.compress(b"\x00")) + png_chunk(b"IEND", b"")
    rows = b"".join(b"\x00" + bytes(pixels[y * width * 4:(y + 1) * width * 4])
                    for y in range(height))
    return head + png_chunk(b"IDAT", zlib.compress(rows)) + png_chunk(b"IEND", b"")


def gif(width, height, indices, palette, transparent):
    """A GIF89a whose LZW data sends a clear code before every pixel, so codes stay 3 bits."""
    out = b"GIF89a" + struct.pack("<HHBBB", width, height, 0x81, 0, 0)
    out += b"".join(bytes(c) for c in palette)
    out += b"\x21\xf9\x04\x01\x00\x00" + bytes([transparent]) + b"\x00"
    out += b"\x2c" + struct.pack("<HHHHB", 0, 0, width, height, 0) + b"\x02"
    codes = []
    for index in indices:
        codes += [4, index]
    codes.append(5)
    bits, count, data = 0, 0, bytearray()
    for code in codes:
        bits |= code << count
        count += 3
        while count >= 8:
            data.append(bits & 0xFF)
            bits >>= 8
            count -= 8
    if count:
        data.append(bits & 0xFF)
    for i in range(0, len(data), 255):
        block = data[i:i + 255]
        out += bytes([len(block)]) + bytes(block)
    return out + b"\x00\x3b"


def pictures():
    with open(DOT_JPG, "rb") as f:
        jpg = f.read()
    red_blue = []
    for y in range(3):
        for x in range(4):
            red_blue += [255, 0, 0, 255] if x < 2 else [0, 0, 255, 128 if y == 0 else 255]
    return jpg, png(4, 3, red_blue), gif(4, 3, [0, 1, 2, 3] * 3,
                                         [(255, 0, 0), (0, 255, 0), (0, 0, 255), (0, 0, 0)], 3)


JPG, PNG, GIF = pictures()
HUGE_PNG = png(20000, 20000)


def b64(data):
    return base64.b64encode(data).decode("ascii")


GIFT_RU = r"""// Банк вопросов по географии, написан вручную.
// Строки-комментарии пропускаются.
$CATEGORY: $course$/top/География/Столицы

::Столица Франции::Какая столица Франции? {
	=Париж#Верно!
	~Лион#Нет, это другой город.
	~%-50%Берлин
}

::Реки Европы::[html]<p>Отметьте <b>реки</b>&nbsp;Европы:</p><p><img src="river.png" alt=""></p>{
	~%50%Сена
	~%50%Луара
	~%-100%Альпы
}

Пушкин родился в {~Петербурге =Москве ~Казани} в 1799 году.

::Столица России::Назовите столицу России. {=Москва =%50%Масква =г. Москва}

Волга впадает в Каспийское море.{TRUE}

::Высота::Высота Эльбруса в метрах? {#5642}

::Год::В каком году основан Петербург? {#1703:0}

$CATEGORY: $course$/top/География/Карты

::Флаг::[html]Какого цвета флаг?<img src="flag.gif"> <img src="dot.jpg">{=Красный ~Синий}

::Точка::[html]Что на рисунке?<br><img src="dot.jpg">{=Точка ~Круг}

::Пропавший::[html]Рисунок не найден: <img src="nowhere.png">{=Да ~Нет}

::Вне папки::[html]<img src="../secret.jpg"><img src="/etc/passwd">{=Да ~Нет}

::Экран::Символы \{ \} \~ \= \# \: и \\ в тексте\nна двух строках {=\{ответ\} ~\~ничего}

::Markdown::[markdown]Текст **как есть** {=да ~нет}

::Незакрыт::Скобка не закрыта {=да ~нет

::Эссе::Расскажите о своём городе. {}

::Соответствие::Соедините страну и столицу. {=Франция -> Париж =Италия -> Рим}

::Допуск::Число пи с точностью до сотых? {#3.14:0.01}

::Диапазон::Число от 1 до 5 {#1..5}

::Описание::Дальше идут вопросы о реках.

::Два блока::Реки {=Волга} и {=Дон}

::После::Этот вопрос читается, хотя скобка выше не закрыта. {=да ~нет}
"""

GIFT_EN = """// English questions with every mapped kind.
$CATEGORY: Science

::Water::What is the chemical formula of water? {=H2O ~CO2 ~NaCl}

::Primes::[plain]Which of these are prime numbers? {~%50%2 ~%50%3 ~%-50%4 ~%-50%9}

The Moon orbits the Earth. {T}

The Sun orbits the Earth. {FALSE#No, it does not.}

::Double::Two times two? {#4}

::Planet::Name the red planet. {=Mars =%75%the red planet}

Grant is {~buried =entombed ~living} in Grant's tomb.

::Pi::Pi to two decimals? {#3.14:0.005}
"""

GIFT_CP1251 = """// Банк в кодировке cp1251, как его сохраняет Блокнот.
$CATEGORY: Русский язык

::Ударение::Где ударение в слове «звонит»? {=звонИт ~звОнит}

::Ё::Как пишется «еще» с буквой ё? {=ещё}
"""

AIKEN_EN = """What is the capital of France?
A) Paris
B) Lyon
C) Marseille
ANSWER: A

Which planet is the largest?
A. Mars
B. Jupiter
C. Venus
D. Mercury
ANSWER: B

This question has no answer line.
A) Yes
B) No

What is 2 + 2?
A) 3
B) 4
ANSWER: E

ANSWER: A

Which gas do plants take in?
A) Oxygen
B) Carbon dioxide
ANSWER: B
"""

AIKEN_RU = """Столица Японии?
A) Пекин
B) Токио
C) Сеул
ANSWER: B

Самая длинная река России — это
A. Лена
B. Обь
C. Волга
ANSWER: A

Вопрос без вариантов и ответа
"""


def moodle_ru():
    return f"""<?xml version="1.0" encoding="UTF-8"?>
<quiz>
<!-- question: 0  -->
  <question type="category">
    <category>
      <text>$course$/top/Математика/Дроби</text>
    </category>
  </question>

  <question type="multichoice">
    <name><text>Половина</text></name>
    <questiontext format="html">
      <text><![CDATA[<p>Какая дробь равна половине?</p><p><img src="@@PLUGINFILE@@/half%20pie.png" alt="круг"></p>]]></text>
      <file name="half pie.png" path="/" encoding="base64">{b64(PNG)}</file>
    </questiontext>
    <generalfeedback format="html"><text>Половина — это 1/2.</text></generalfeedback>
    <defaultgrade>1.0000000</defaultgrade>
    <penalty>0.3333333</penalty>
    <hidden>0</hidden>
    <idnumber>frac-half</idnumber>
    <single>true</single>
    <shuffleanswers>true</shuffleanswers>
    <answernumbering>abc</answernumbering>
    <answer fraction="100" format="html"><text><![CDATA[<p>1/2</p>]]></text>
      <feedback format="html"><text>Верно</text></feedback></answer>
    <answer fraction="0" format="html"><text>1/3</text><feedback format="html"><text></text></feedback></answer>
    <answer fraction="-33.33333" format="html"><text>2/3</text><feedback format="html"><text></text></feedback></answer>
    <hint format="html"><text>Разделите на два.</text></hint>
  </question>

  <question type="multichoice">
    <name><text>Чётные</text></name>
    <questiontext format="html">
      <text><![CDATA[Отметьте чётные числа &laquo;от 1 до 6&raquo;:<br>(ответов несколько) <img src="@@PLUGINFILE@@/flag.gif"><img src="@@PLUGINFILE@@/dot.jpg">]]></text>
      <file name="flag.gif" path="/" encoding="base64">{b64(GIF)}</file>
      <file name="dot.jpg" path="/" encoding="base64">{b64(JPG)}</file>
    </questiontext>
    <single>false</single>
    <answer fraction="33.33333"><text>2</text></answer>
    <answer fraction="33.33333"><text>4</text></answer>
    <answer fraction="33.33333"><text>6</text></answer>
    <answer fraction="-100"><text>3</text></answer>
  </question>

  <question type="truefalse">
    <name><text>Ноль</text></name>
    <questiontext format="moodle_auto_format"><text>Ноль — натуральное число.</text></questiontext>
    <answer fraction="0"><text>true</text></answer>
    <answer fraction="100"><text>false</text></answer>
  </question>

  <question type="category">
    <category><text>$course$/top/Математика/Счёт</text></category>
  </question>

  <question type="shortanswer">
    <name><text>Сумма</text></name>
    <questiontext format="html"><text>Сколько будет 2 &#x2212; 1 &#215; 1? Ответ… словом</text></questiontext>
    <usecase>1</usecase>
    <answer fraction="100"><text>один</text></answer>
    <answer fraction="50"><text>од ин</text></answer>
    <answer fraction="100"><text>*дин</text></answer>
  </question>

  <question type="numerical">
    <name><text>Точно</text></name>
    <questiontext format="plain_text"><text>Сколько сторон у квадрата?</text></questiontext>
    <answer fraction="100"><text>4</text><tolerance>0</tolerance></answer>
  </question>

  <question type="numerical">
    <name><text>Приблизительно</text></name>
    <questiontext format="html"><text>Чему равно пи?</text></questiontext>
    <answer fraction="100"><text>3.14</text><tolerance>0.01</tolerance></answer>
  </question>

  <question type="multichoice">
    <name><text>Старый рисунок</text></name>
    <questiontext format="html"><text>Рисунок из старого файла: что на нём?</text></questiontext>
    <image>dot.jpg</image>
    <image_base64>{b64(JPG)}</image_base64>
    <single>true</single>
    <answer fraction="100"><text>Точка</text></answer>
    <answer fraction="0"><text>Линия</text></answer>
  </question>

  <question type="multichoice">
    <name><text>Плохие рисунки</text></name>
    <questiontext format="html"><text><![CDATA[Рисунки: <img src="@@PLUGINFILE@@/bad.jpg"><img src="@@PLUGINFILE@@/pic.svg"><img src="@@PLUGINFILE@@/huge.png"><img src="@@PLUGINFILE@@/missing.png"><img src="http://127.0.0.1/x.png">]]></text>
      <file name="bad.jpg" path="/" encoding="base64">не base64!</file>
      <file name="pic.svg" path="/" encoding="base64">{b64(b'<svg xmlns="http://www.w3.org/2000/svg"/>')}</file>
      <file name="huge.png" path="/" encoding="base64">{b64(HUGE_PNG)}</file>
    </questiontext>
    <single>true</single>
    <answer fraction="100"><text>Есть</text></answer>
    <answer fraction="0"><text>Нет</text></answer>
  </question>

  <question type="matching"><name><text>Пары</text></name><questiontext><text>Пары</text></questiontext></question>
  <question type="essay"><name><text>Эссе</text></name><questiontext><text>Пишите</text></questiontext></question>
  <question type="description"><name><text>Описание</text></name><questiontext><text>Текст</text></questiontext></question>
  <question type="multianswer"><name><text>Cloze</text></name><questiontext><text>{{1:SHORTANSWER:=a}}</text></questiontext></question>
  <question type="calculated"><name><text>Формула</text></name><questiontext><text>{{a}}+1</text></questiontext></question>
  <question type="ddwtos"><name><text>Перетащить</text></name><questiontext><text>[[1]]</text></questiontext></question>
  <question type="random"><name><text>Случайный</text></name><questiontext><text>0</text></questiontext></question>
  <question type="multichoice"><name><text>Пусто</text></name><questiontext><text>Нет ответов</text></questiontext></question>
</quiz>
"""


MOODLE_EN = """<?xml version="1.0" encoding="UTF-8"?>
<quiz>
  <question type="category">
    <category><text>$course$/top/Default for Physics</text></category>
  </question>
  <question type="multichoice">
    <name><text>Speed of light</text></name>
    <questiontext format="html"><text><![CDATA[<p>What is the speed of light in vacuum?</p>
<ul><li>in km/s</li><li>rounded</li></ul>]]></text></questiontext>
    <idnumber>phys-1</idnumber>
    <single>true</single>
    <answer fraction="100"><text>300000</text></answer>
    <answer fraction="0"><text>150000</text></answer>
  </question>
  <question type="shortanswer">
    <name><text>Unit</text></name>
    <questiontext format="markdown"><text>The unit of force is the **newton**. Name the unit of energy.</text></questiontext>
    <answer fraction="100"><text>joule</text></answer>
    <answer fraction="100"><text>J</text></answer>
  </question>
  <question type="truefalse">
    <name><text>Gravity</text></name>
    <questiontext format="html"><text>Heavier objects fall faster in a vacuum.</text></questiontext>
    <answer fraction="0"><text>true</text></answer>
    <answer fraction="100"><text>false</text></answer>
  </question>
</quiz>
"""

MOODLE_TRUNCATED = """<?xml version="1.0" encoding="UTF-8"?>
<quiz>
  <question type="multichoice">
    <name><text>Cut</text></name>
    <questiontext format="html"><text>Cut off here"""

MOODLE_ENTITIES = """<?xml version="1.0"?>
<!DOCTYPE quiz [
  <!ENTITY lol "lol">
  <!ENTITY lol1 "&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;">
  <!ENTITY lol2 "&lol1;&lol1;&lol1;&lol1;&lol1;&lol1;&lol1;&lol1;&lol1;&lol1;">
  <!ENTITY lol3 "&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;">
  <!ENTITY lol9 "&lol3;&lol3;&lol3;&lol3;&lol3;&lol3;&lol3;&lol3;&lol3;&lol3;">
  <!ENTITY secret SYSTEM "file:///etc/passwd">
]>
<quiz>
  <question type="multichoice">
    <name><text>Bomb &lol9;</text></name>
    <questiontext format="html"><text>Laughs: &lol9; secret: &secret;</text></questiontext>
    <single>true</single>
    <answer fraction="100"><text>&secret;</text></answer>
    <answer fraction="0"><text>no</text></answer>
  </question>
</quiz>
"""


def main():
    write("gift-ru", "in.gift", GIFT_RU)
    write("gift-ru", "river.png", PNG)
    write("gift-ru", "flag.gif", GIF)
    write("gift-ru", "dot.jpg", JPG)
    write(".", "secret.jpg", JPG)  # beside the folder: a name with ".." must not reach it
    write("gift-en", "in.gift", GIFT_EN)
    write("gift-cp1251", "in.gift", GIFT_CP1251.encode("cp1251"))
    write("aiken-en", "in.aiken", AIKEN_EN)
    write("aiken-ru", "in.aiken", "\ufeff" + AIKEN_RU)
    write("moodle-ru", "in.xml", moodle_ru())
    write("moodle-en", "in.xml", MOODLE_EN)
    write("moodle-truncated", "in.xml", MOODLE_TRUNCATED)
    write("moodle-entities", "in.xml", MOODLE_ENTITIES)


if __name__ == "__main__":
    main()
