#include "passwordscripts.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

// `post` is given by the engine (EngineFactory::addFrameScript).
constexpr char kFrameScript[] = R"JS(
'use strict';
if (!/^https?:$/.test(location.protocol)) return;
var typed = new WeakSet();
var snapshot = null; // what the user last typed into a form: {form, passwords, action, fields, sent}
var shown = '';

function textLike(el) {
  var t = (el.type || 'text').toLowerCase();
  return t === 'text' || t === 'email' || t === 'tel' || t === 'password';
}
function visible(el) {
  if (el.type === 'hidden' || el.disabled || !el.isConnected) return false;
  var r = el.getBoundingClientRect();
  if (r.width < 2 || r.height < 2) return false;
  var s = getComputedStyle(el);
  return s.visibility !== 'hidden' && s.display !== 'none' && parseFloat(s.opacity) > 0.05;
}
function inputs() { return document.querySelectorAll('input'); }
function formIndex(form) { return form ? Array.prototype.indexOf.call(document.forms, form) : -1; }
function describe(el, i, withValue) {
  var d = {i: i, f: formIndex(el.form), t: (el.type || 'text').toLowerCase(), n: el.name || '', id: el.id || '',
           ac: (el.getAttribute('autocomplete') || '').toLowerCase(), v: visible(el), k: typed.has(el)};
  if (withValue) d.val = el.value;
  return d;
}
function fields(form, withValue) {
  var all = inputs(), out = [];
  for (var i = 0; i < all.length; i++)
    if (textLike(all[i]) && (form === undefined || all[i].form === form)) out.push(describe(all[i], i, withValue));
  return out;
}
function frame() {
  var path = [], x = 0, y = 0, w = window;
  try {
    while (w !== w.top) {
      var el = w.frameElement;
      if (!el) return null;
      path.unshift(Array.prototype.indexOf.call(el.ownerDocument.querySelectorAll('iframe,frame'), el));
      var r = el.getBoundingClientRect();
      x += r.left + el.clientLeft; y += r.top + el.clientTop;
      w = w.parent;
    }
  } catch (e) { return null; }
  return {path: path, x: x, y: y};
}
function send(kind, extra) {
  var m = {kind: kind, origin: location.origin, frame: frame(), z: window.devicePixelRatio};
  for (var k in extra) m[k] = extra[k];
  post(m);
}
function actionOf(form) {
  try { return new URL(form && form.action ? form.action : location.href).origin; } catch (e) { return location.origin; }
}
function take(form) {
  var all = inputs(), passwords = [];
  for (var i = 0; i < all.length; i++)
    if (all[i].form === form && all[i].type === 'password') passwords.push(all[i]);
  snapshot = {form: form, passwords: passwords, action: actionOf(form), fields: fields(form, true), sent: false};
}
function sendSnapshot(kind) {
  if (!snapshot || snapshot.sent) return;
  if (snapshot.form === null || snapshot.form.isConnected) {
    var fresh = fields(snapshot.form, true);
    if (fresh.length) snapshot.fields = fresh;
  }
  if (kind !== 'candidate') snapshot.sent = true;
  send(kind, {action: snapshot.action, fields: snapshot.fields});
}
function loginShown() {
  var all = inputs(), sign = '';
  for (var i = 0; i < all.length; i++)
    if (textLike(all[i]) && visible(all[i])) sign += i + (all[i].type === 'password' ? 'p' : 't') + ',';
  return sign;
}
function check() {
  var sign = loginShown();
  if (sign !== shown) {
    shown = sign;
    if (sign) send('forms', {fields: fields(undefined, false)});
  }
  // A form the user typed into was taken away or hidden: sent by the page's own script.
  if (snapshot && !snapshot.sent && snapshot.passwords.length &&
      snapshot.passwords.every(function (el) { return !visible(el); }))
    sendSnapshot('submit');
}

document.addEventListener('input', function (e) {
  var el = e.target;
  if (!e.isTrusted || el.tagName !== 'INPUT' || !textLike(el)) return;
  typed.add(el);
  take(el.form);
}, true);
document.addEventListener('submit', function (e) {
  if (snapshot && snapshot.form === e.target) sendSnapshot('submit');
}, true);
document.addEventListener('click', function (e) {
  if (!e.isTrusted || !snapshot || snapshot.sent) return;
  var el = e.target.closest ? e.target.closest('button, input, a, [role=button]') : null;
  if (el && !(el.tagName === 'INPUT' && textLike(el))) sendSnapshot('candidate');
}, true);
document.addEventListener('keydown', function (e) {
  if (e.isTrusted && e.key === 'Enter' && e.target.tagName === 'INPUT' && snapshot && !snapshot.sent)
    sendSnapshot('candidate');
}, true);
document.addEventListener('focusin', function (e) {
  var el = e.target;
  if (el.tagName !== 'INPUT' || !textLike(el)) return;
  var r = el.getBoundingClientRect();
  send('focus', {field: Array.prototype.indexOf.call(inputs(), el), rect: [r.left, r.top, r.width, r.height],
                 fields: fields(undefined, false)});
}, true);
document.addEventListener('focusout', function (e) {
  if (e.target.tagName === 'INPUT') send('blur', {});
}, true);
window.addEventListener('pagehide', function () { sendSnapshot('submit'); }, true);

var pending = false;
new MutationObserver(function () {
  if (pending) return;
  pending = true;
  setTimeout(function () { pending = false; check(); }, 100);
}).observe(document, {childList: true, subtree: true, attributes: true, attributeFilter: ['style', 'class', 'hidden', 'type']});
check();
)JS";

constexpr char kFillScript[] = R"JS(
(function (a) {
  var doc = document;
  for (var k = 0; k < a.path.length; k++) {
    var f = doc.querySelectorAll('iframe,frame')[a.path[k]], next = null;
    try { next = f ? f.contentDocument : null; } catch (e) { next = null; }
    if (!next) return false; // a frame of another origin: out of reach, and rightly so
    doc = next;
  }
  var win = doc.defaultView;
  if (!win || win.location.origin !== a.origin) return false;
  var all = doc.querySelectorAll('input');
  function usable(want, password) {
    var el = all[want.i];
    if (!el || el.disabled || el.readOnly || el.type === 'hidden') return null;
    if ((el.type === 'password') !== password || el.name !== want.n || el.id !== want.id) return null;
    var r = el.getBoundingClientRect(), s = win.getComputedStyle(el);
    if (r.width < 2 || r.height < 2 || s.visibility === 'hidden' || s.display === 'none' || parseFloat(s.opacity) <= 0.05)
      return null;
    return el;
  }
  var user = a.user ? usable(a.user, false) : null, password = a.password ? usable(a.password, true) : null;
  if ((a.user && !user) || (a.password && !password)) return false;
  function put(el, value) {
    el.value = value;
    el.dispatchEvent(new win.Event('input', {bubbles: true}));
    el.dispatchEvent(new win.Event('change', {bubbles: true}));
  }
  if (user) put(user, a.userValue);
  if (password) put(password, a.passwordValue);
  return true;
})(%1);
)JS";

QJsonValue fieldRef(const FormField &field)
{
    if (field.index < 0)
        return QJsonValue::Null;
    return QJsonObject{{QStringLiteral("i"), field.index}, {QStringLiteral("n"), field.name}, {QStringLiteral("id"), field.id}};
}

} // namespace

namespace PasswordScripts {

QString frameScript()
{
    return QString::fromUtf8(kFrameScript);
}

QString fillScript(const FillTarget &target, const QString &user, const QString &password)
{
    QJsonArray path;
    for (int step : target.framePath)
        path.append(step);
    const QJsonObject args{{QStringLiteral("path"), path},
                           {QStringLiteral("origin"), target.origin},
                           {QStringLiteral("user"), fieldRef(target.user)},
                           {QStringLiteral("password"), fieldRef(target.password)},
                           {QStringLiteral("userValue"), user},
                           {QStringLiteral("passwordValue"), password}};
    return QString::fromUtf8(kFillScript).arg(QString::fromUtf8(QJsonDocument(args).toJson(QJsonDocument::Compact)));
}

} // namespace PasswordScripts
