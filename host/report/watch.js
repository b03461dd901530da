// Added by `cabhost watch` to the report it serves (and to its page for a failed run): once a newer
// run has finished, the page reloads itself, and the charts come back at the zoom they were left at.
(() => {
  const key = 'cabhostWatchView';
  const shownRun = window.cabhostWatchRun;

  const saved = sessionStorage.getItem(key);
  if (saved) {
    window.addEventListener('load', () => {
      const view = JSON.parse(saved);
      if (window.cabhostReport && Number.isFinite(view.min) && Number.isFinite(view.max)) {
        window.cabhostReport.setView(view.min, view.max);
      }
    });
  }

  async function poll() {
    try {
      const response = await fetch('/run-id', { cache: 'no-store' });
      if (response.ok && (await response.text()).trim() !== shownRun) {
        // A page without charts (a failed run) keeps the zoom that the last report had.
        if (window.cabhostReport) sessionStorage.setItem(key, JSON.stringify(window.cabhostReport.view()));
        location.reload();
        return;
      }
    } catch (e) {
      // The host is gone (Ctrl+C) or busy: ask again.
    }
    setTimeout(poll, 300);
  }
  setTimeout(poll, 300);
})();
