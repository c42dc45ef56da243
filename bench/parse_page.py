"""Writes a large price page for the parser benchmark: the sample page's
layout, with a long head (inline images on single lines of several MiB) and a
price table of many rows, some of them carrying very long lines. Windows-1250,
CR LF line ends, like the published page."""
import random
import sys

target = int(sys.argv[2]) * 1024 * 1024
out = open(sys.argv[1], "wb")
rng = random.Random(2018)

months = ["janu&aacute;r", "febru\xe1r", "m\xe1rcius", "&aacute;prilis", "m&aacute;jus",
          "j\xfanius", "j&uacute;lius", "augusztus", "szeptember", "okt\xf3ber",
          "november", "december"]

def line(text):
    return (text + "\r\n").encode("cp1250")

written = 0
def put(data):
    global written
    out.write(data)
    written += len(data)

put(line('<html><head><meta http-equiv="Content-Type" content="text/html; charset=windows-1250" />'))
for _ in range(2):
    blob = "".join(rng.choice("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/")
                   for _ in range(4096))
    put(line('<img alt="logo" src="data:image/png;base64,' + blob * 1024 + '" />'))
put(line('<p align="center">&nbsp;<strong> 2018. &eacute;v</strong><strong></strong>'))
put(line('<div class="CikkArticleTableBorder">'))
put(line('<table class="CikkArticleTable" width="100%" border="1" cellspacing="0" cellpadding="3">'))

tail = [line('</table>'),
        line('<p align="center">&nbsp;<strong> 2017. &eacute;v</strong><strong></strong>'),
        line('</div></body></html>')]
reserve = sum(len(t) for t in tail)
row = 0
while written + reserve < target:
    name = months[row % 12]
    p = [rng.randint(340, 420) for _ in range(4)]
    if row % 3 == 0:
        block = [f'<tr><td class="style9" valign="top"><p><strong>{name}</strong></p></td>',
                 f'<td valign="top"><p>{p[0]} Ft</p></td>',
                 '</td><td align="center" valign="top">', f'{p[1]} Ft</p>',
                 f'<td valign="top"><p>{p[2]} Ft</p></td>',
                 f'<td valign="top"><p>{p[3]} Ft</p></td></tr>']
    elif row % 3 == 1:
        block = [f'<tr><td class="style9"><p>{name}</p></td>'] + \
                [f'<td><p>{x}</p></td>' for x in p] + ['</tr>']
    else:
        block = [f'<tr><td class="style9"><p>{name}</p></td><td><p>{p[0]} Ft</p></td>'
                 f'<td><p>{p[1]} Ft</p></td><td><p>{p[2]} Ft</p></td><td><p>{p[3]} Ft</p></td></tr>']
    if row % 5000 == 4999:
        # A cell with a long remark, on one line, after the row's prices.
        block.append('<td><p>' + 'Az &aacute;r tartalmazza az &aacute;fa-t. ' * 8192 + '</p></td>')
    put(b"".join(line(b) for b in block))
    row += 1
for t in tail:
    put(t)
out.close()
