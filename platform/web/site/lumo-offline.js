// SPDX-License-Identifier: MIT
// Installable and offline after one visit: the site's worker (sw.js) keeps
// every file of this build. A worker runs only in a secure context (https,
// or this machine) and never from file://; elsewhere the pages load from
// the network as any page does.
// The worker is registered a little after the page has loaded: installing
// it fetches and checks every file of the site, which would otherwise
// compete with the program's start on a first visit.
if ('serviceWorker' in navigator && window.isSecureContext && location.protocol !== 'file:') {
  window.addEventListener('load', function () {
    setTimeout(function () {
      navigator.serviceWorker.register('sw.js').catch(function (error) {
        console.warn('no offline copy of the site: ' + error);
      });
    }, 2000);
  });
}
